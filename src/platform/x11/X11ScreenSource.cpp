// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11ScreenSource.h"

#include "platform/display/DisplayIdentity.h"
#include "platform/x11/NativeGeometry.h"
#include "platform/x11/WorkArea.h"
#include "platform/x11/X11Log.h"
#include "platform/x11/XcbReply.h"

#include <QGuiApplication>
#include <QHash>
#include <QScreen>
#include <string>
#include <utility>
#include <xcb/randr.h>

namespace {
// The EDID base block is all we read: 32 units of 4 bytes.
constexpr uint32_t edidLongs = 32;
constexpr uint32_t maxPropertyLongs = 4096;

void logScreens(const QList<ScreenInfo>& screens) {
    for (const ScreenInfo& screen : screens)
        qCInfo(lcX11).noquote() << "Display" << screen.platformName << screen.localizedName << "key"
                                << displayKey(screen) << screen.frame;
}

QList<QScreen*> orderedScreens() {
    QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary && screens.removeOne(primary))
        screens.prepend(primary);
    return screens;
}
} // namespace

X11ScreenSource::X11ScreenSource(QObject* parent)
    : ScreenSource(parent), m_x(X11Connection::fromQt()), m_atoms(m_x ? m_x->connection : nullptr) {
    if (m_x) {
        xcb_connection_t* c = m_x->connection;
        const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
        if (randr && randr->present) {
            m_hasRandr = true;
            if (const auto version =
                    xcbReply(c, xcb_randr_query_version(c, 1, 5), xcb_randr_query_version_reply))
                m_hasMonitors = version->major_version > 1 || version->minor_version >= 5;
        }
        // Added to the events Qt already selects on the root window, never replacing them.
        if (const auto attributes =
                xcbReply(c, xcb_get_window_attributes(c, m_x->root), xcb_get_window_attributes_reply)) {
            const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(c, m_x->root, XCB_CW_EVENT_MASK, &mask);
            xcb_flush(c);
        }
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    m_coalesce.setSingleShot(true);
    m_coalesce.setInterval(0);
    connect(&m_coalesce, &QTimer::timeout, this, &X11ScreenSource::notify);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watch(screen);
        invalidate(true);
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this] { invalidate(true); });
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this] { invalidate(true); });
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    if (!m_x)
        qCWarning(lcX11) << "Not on X11: displays are known by their names only, and no panel is left free";
    m_cache = read();
    m_announced = *m_cache;
    logScreens(m_announced);
}

X11ScreenSource::~X11ScreenSource() = default;

QList<ScreenInfo> X11ScreenSource::screens() const {
    if (!m_cache)
        m_cache = read();
    return *m_cache;
}

void X11ScreenSource::watch(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, [this] { invalidate(true); });
}

void X11ScreenSource::invalidate(bool screensMoved) {
    m_cache.reset();
    m_screensMoved = m_screensMoved || screensMoved;
    m_coalesce.start();
}

void X11ScreenSource::notify() {
    QList<ScreenInfo> now = screens();
    if (!std::exchange(m_screensMoved, false) && now == m_announced)
        return;
    m_announced = std::move(now);
    logScreens(m_announced);
    Q_EMIT screensChanged();
}

bool X11ScreenSource::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (!m_x || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (change->window != m_x->root)
        return false;
    const xcb_atom_t atom = change->atom;
    if (atom == m_atoms[X11Atom::ClientList] || atom == m_atoms[X11Atom::Workarea] ||
        atom == m_atoms[X11Atom::CurrentDesktop] || (atom != XCB_ATOM_NONE && atom == m_workareasAtom))
        invalidate(false);
    return false;
}

QList<ScreenInfo> X11ScreenSource::read() const {
    const QList<QScreen*> qscreens = orderedScreens();
    QStringList names;
    QList<QRect> monitors;
    for (const QScreen* screen : qscreens) {
        names.append(screen->name());
        monitors.append(NativeGeometry::nativeRect({screen->geometry(), screen->devicePixelRatio()}));
    }
    const QList<Output> outputs = readOutputs(names);
    const QList<QRect> workAreas = readWorkAreas(monitors);

    QList<DisplayIdentity::Output> displays;
    for (qsizetype i = 0; i < qscreens.size(); ++i) {
        const Output& output = outputs.at(i);
        displays.append({Edid::parse(output.edid), output.name.isEmpty() ? names.at(i) : output.name});
    }
    const QList<std::optional<QString>> uuids = DisplayIdentity::uuids(displays);
    const NativeGeometry geometry = NativeGeometry::fromQt();

    QList<ScreenInfo> result;
    for (qsizetype i = 0; i < qscreens.size(); ++i) {
        const QRect frame = qscreens.at(i)->geometry();
        const std::optional<Edid>& edid = displays.at(i).edid;
        QRect visible = geometry.toLogical(workAreas.at(i)).intersected(frame);
        if (visible.isEmpty())
            visible = frame;
        result.append({.uuid = uuids.at(i),
                       .localizedName = edid && !edid->modelName.isEmpty() ? edid->modelName : names.at(i),
                       .frame = frame,
                       .visibleFrame = visible,
                       .platformName = names.at(i)});
    }
    return result;
}

QList<X11ScreenSource::Output> X11ScreenSource::readOutputs(const QStringList& screenNames) const {
    QList<Output> result(screenNames.size());
    if (!m_x || !m_hasRandr)
        return result;
    xcb_connection_t* c = m_x->connection;

    const auto resourcesCookie = xcb_randr_get_screen_resources_current(c, m_x->root);
    std::optional<xcb_randr_get_monitors_cookie_t> monitorsCookie;
    if (m_hasMonitors)
        monitorsCookie = xcb_randr_get_monitors(c, m_x->root, 1);
    const auto resources = xcbReply(c, resourcesCookie, xcb_randr_get_screen_resources_current_reply);
    XcbReply<xcb_randr_get_monitors_reply_t> monitors;
    if (monitorsCookie)
        monitors = xcbReply(c, *monitorsCookie, xcb_randr_get_monitors_reply);

    // Output and monitor names, requested together.
    QList<xcb_randr_output_t> outputIds;
    QList<xcb_randr_get_output_info_cookie_t> infoCookies;
    if (resources) {
        const xcb_randr_output_t* ids = xcb_randr_get_screen_resources_current_outputs(resources.get());
        const int count = xcb_randr_get_screen_resources_current_outputs_length(resources.get());
        for (int i = 0; i < count; ++i) {
            outputIds.append(ids[i]);
            infoCookies.append(xcb_randr_get_output_info(c, ids[i], resources->config_timestamp));
        }
    }
    QList<xcb_randr_output_t> monitorOutputs;
    QList<xcb_get_atom_name_cookie_t> monitorNameCookies;
    if (monitors) {
        for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem > 0;
             xcb_randr_monitor_info_next(&it)) {
            if (xcb_randr_monitor_info_outputs_length(it.data) == 0)
                continue;
            monitorOutputs.append(xcb_randr_monitor_info_outputs(it.data)[0]);
            monitorNameCookies.append(xcb_get_atom_name(c, it.data->name));
        }
    }
    QHash<QString, xcb_randr_output_t> byOutputName;
    QHash<xcb_randr_output_t, QString> outputNames;
    for (qsizetype i = 0; i < infoCookies.size(); ++i) {
        if (const auto info = xcbReply(c, infoCookies.at(i), xcb_randr_get_output_info_reply)) {
            const QString name =
                QString::fromUtf8(reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info.get())),
                                  xcb_randr_get_output_info_name_length(info.get()));
            byOutputName.insert(name, outputIds.at(i));
            outputNames.insert(outputIds.at(i), name);
        }
    }
    QHash<QString, xcb_randr_output_t> byMonitorName;
    for (qsizetype i = 0; i < monitorNameCookies.size(); ++i) {
        if (const auto name = xcbReply(c, monitorNameCookies.at(i), xcb_get_atom_name_reply)) {
            byMonitorName.insert(QString::fromUtf8(xcb_get_atom_name_name(name.get()),
                                                   xcb_get_atom_name_name_length(name.get())),
                                 monitorOutputs.at(i));
        }
    }

    QList<std::optional<xcb_randr_get_output_property_cookie_t>> edidCookies;
    for (qsizetype i = 0; i < screenNames.size(); ++i) {
        const QString& name = screenNames.at(i);
        const auto output = byOutputName.contains(name)    ? std::optional(byOutputName.value(name))
                            : byMonitorName.contains(name) ? std::optional(byMonitorName.value(name))
                                                           : std::nullopt;
        if (!output) {
            edidCookies.append(std::nullopt);
            continue;
        }
        result[i].name = outputNames.value(*output);
        edidCookies.append(xcb_randr_get_output_property(c, *output, m_atoms[X11Atom::Edid], XCB_ATOM_ANY, 0,
                                                         edidLongs, 0, 0));
    }
    for (qsizetype i = 0; i < edidCookies.size(); ++i) {
        if (!edidCookies.at(i))
            continue;
        const auto edid = xcbReply(c, *edidCookies.at(i), xcb_randr_get_output_property_reply);
        if (edid && edid->format == 8) {
            result[i].edid =
                QByteArray(reinterpret_cast<const char*>(xcb_randr_get_output_property_data(edid.get())),
                           xcb_randr_get_output_property_data_length(edid.get()));
        }
    }
    return result;
}

QList<QRect> X11ScreenSource::readWorkAreas(const QList<QRect>& monitors) const {
    if (!m_x)
        return monitors;
    xcb_connection_t* c = m_x->connection;
    const xcb_window_t root = m_x->root;

    const auto geometryCookie = xcb_get_geometry(c, root);
    const auto clientsCookie =
        xcb_get_property(c, 0, root, m_atoms[X11Atom::ClientList], XCB_ATOM_WINDOW, 0, maxPropertyLongs);
    const auto desktopCookie =
        xcb_get_property(c, 0, root, m_atoms[X11Atom::CurrentDesktop], XCB_ATOM_CARDINAL, 0, 1);
    const auto rootGeometry = xcbReply(c, geometryCookie, xcb_get_geometry_reply);
    const auto clients = xcbReply(c, clientsCookie, xcb_get_property_reply);
    const auto desktop = xcbReply(c, desktopCookie, xcb_get_property_reply);
    if (!rootGeometry)
        return monitors;
    const QSize rootSize(rootGeometry->width, rootGeometry->height);

    const std::span<const uint32_t> current = propertyValues32(desktop.get());
    const uint32_t desktopNumber = current.empty() ? 0 : current[0];
    if (desktopNumber != m_workareasDesktop) {
        m_workareasDesktop = desktopNumber;
        m_workareasAtom =
            X11Atoms::intern(c, std::string(gtkWorkareasPrefix) + std::to_string(desktopNumber));
    }

    const auto workareasCookie =
        xcb_get_property(c, 0, root, m_workareasAtom, XCB_ATOM_CARDINAL, 0, maxPropertyLongs);
    QList<std::pair<xcb_get_property_cookie_t, xcb_get_property_cookie_t>> strutCookies;
    for (const uint32_t window : propertyValues32(clients.get())) {
        strutCookies.append(
            {xcb_get_property(c, 0, window, m_atoms[X11Atom::WmStrutPartial], XCB_ATOM_CARDINAL, 0, 12),
             xcb_get_property(c, 0, window, m_atoms[X11Atom::WmStrut], XCB_ATOM_CARDINAL, 0, 4)});
    }
    const auto workareas = xcbReply(c, workareasCookie, xcb_get_property_reply);
    QList<Strut> struts;
    for (const auto& [partialCookie, fullCookie] : strutCookies) {
        const auto partial = xcbReply(c, partialCookie, xcb_get_property_reply);
        const auto full = xcbReply(c, fullCookie, xcb_get_property_reply);
        if (auto strut = Strut::fromPartial(propertyValues32(partial.get())))
            struts.append(*strut);
        else if (auto legacy = Strut::fromFull(propertyValues32(full.get()), rootSize))
            struts.append(*legacy);
    }

    const std::span<const uint32_t> gtk = propertyValues32(workareas.get());
    if (gtk.size() >= 4)
        return WorkArea::fromGtkWorkareas(monitors, gtk);
    return WorkArea::fromStruts(monitors, rootSize, struts);
}
