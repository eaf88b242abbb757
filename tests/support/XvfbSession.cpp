// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/XvfbSession.h"

#include <QGuiApplication>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <xcb/xcb.h>

using namespace std::chrono_literals;

namespace {
XvfbSession* currentSession = nullptr;

template <class T> using Reply = std::unique_ptr<T, decltype([](T* reply) { std::free(reply); })>;

constexpr quint32 sourcePager = 2;
} // namespace

XvfbSession::XvfbSession() {
    currentSession = this;
    if (tempPath().isEmpty())
        return; // not on the wrapper's server: never touch the desktop's
    m_connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(m_connection)) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        return;
    }
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
}

XvfbSession::~XvfbSession() {
    for (const auto& child : m_children) {
        child->terminate();
        child->waitForFinished();
    }
    if (m_connection)
        xcb_disconnect(m_connection);
    currentSession = nullptr;
}

XvfbSession* XvfbSession::current() {
    return currentSession;
}

int XvfbSession::exec(int argc, char** argv, const std::function<std::unique_ptr<QObject>()>& makeTest) {
    QGuiApplication app(argc, argv);
    XvfbSession session;
    if (!session.isReady()) {
        std::fputs("No X server: run this test through ctest, which starts tests/support/on-xvfb.sh\n",
                   stderr);
        return 1;
    }
    return QTest::qExec(makeTest().get(), argc, argv);
}

quint32 XvfbSession::atom(const QByteArray& name) {
    if (const auto it = m_atoms.constFind(name); it != m_atoms.cend())
        return *it;
    const auto length = static_cast<uint16_t>(name.size());
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, length, name.constData()), nullptr));
    return m_atoms[name] = reply ? reply->atom : quint32{XCB_ATOM_NONE};
}

XvfbSession::RunResult XvfbSession::run(const QString& program, const QStringList& arguments,
                                        std::chrono::milliseconds timeout) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(static_cast<int>(timeout.count()))) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    const bool exited = process.exitStatus() == QProcess::NormalExit;
    return {exited ? process.exitCode() : -1, process.readAll()};
}

bool XvfbSession::start(const QString& program, const QStringList& arguments) {
    auto& child = m_children.emplace_back(std::make_unique<QProcess>());
    child->setStandardOutputFile(tempPath() + QStringLiteral("/%1.log").arg(program));
    child->setProcessChannelMode(QProcess::MergedChannels);
    child->start(program, arguments);
    return child->waitForStarted();
}

bool XvfbSession::screenshot(const QString& path) {
    return run(QStringLiteral("import"), {"-window", "root", path}, 30s).exitCode == 0;
}

std::optional<XvfbSession::Window> XvfbSession::createWindow(const XvfbWindowPlan& plan) {
    const Window window = xcb_generate_id(m_connection);
    const QRect& r = plan.bounds;
    const uint32_t background = 0x4060a0;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_root, static_cast<int16_t>(r.x()),
                      static_cast<int16_t>(r.y()), static_cast<uint16_t>(r.width()),
                      static_cast<uint16_t>(r.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, &background);
    const auto set = [&](const QByteArray& property, xcb_atom_t type, int format, int count,
                         const void* data) {
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom(property), type,
                            static_cast<uint8_t>(format), static_cast<uint32_t>(count), data);
    };
    // USPosition | USSize | PPosition | PSize, so that the window manager keeps the requested place.
    const uint32_t sizeHints[18] = {1 | 2 | 4 | 8, uint32_t(r.x()), uint32_t(r.y()), uint32_t(r.width()),
                                    uint32_t(r.height())};
    set("WM_NORMAL_HINTS", XCB_ATOM_WM_SIZE_HINTS, 32, 18, sizeHints);
    const uint32_t type = atom(plan.type);
    if (!plan.type.isEmpty())
        set("_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, 32, 1, &type);
    const auto opacity = static_cast<uint32_t>(plan.opacity.value_or(1) * 0xFFFFFFFFu);
    if (plan.opacity)
        set("_NET_WM_WINDOW_OPACITY", XCB_ATOM_CARDINAL, 32, 1, &opacity);
    if (plan.strut.size() == 12) {
        set("_NET_WM_STRUT_PARTIAL", XCB_ATOM_CARDINAL, 32, 12, plan.strut.constData());
        set("_NET_WM_STRUT", XCB_ATOM_CARDINAL, 32, 4, plan.strut.constData());
    }
    const uint32_t noDecorations[5] = {2, 0, 0, 0, 0};
    if (!plan.decorated)
        set("_MOTIF_WM_HINTS", atom("_MOTIF_WM_HINTS"), 32, 5, noDecorations);
    xcb_map_window(m_connection, window);
    xcb_flush(m_connection);
    if (!waitUntil([&] { return clients().contains(window); }, 10s) || !moveResize(window, r))
        return std::nullopt;
    return window;
}

bool XvfbSession::destroyWindow(Window window) {
    xcb_destroy_window(m_connection, window);
    xcb_flush(m_connection);
    return waitUntil([&] { return !clients().contains(window); });
}

bool XvfbSession::moveResize(Window window, const QRect& bounds) {
    const QList<quint32> frame = atoms(window, "_NET_FRAME_EXTENTS");
    // Gravity NorthWest with x, y, width and height given: x and y place the frame's corner.
    send(window, "_NET_MOVERESIZE_WINDOW",
         {1 | (0xF << 8) | (sourcePager << 12), quint32(bounds.x()), quint32(bounds.y()),
          quint32(bounds.width()) - frame.value(0) - frame.value(1),
          quint32(bounds.height()) - frame.value(2) - frame.value(3)});
    return waitUntil([&] { return outerBounds(window) == bounds; });
}

bool XvfbSession::maximize(Window window) {
    const quint32 vertical = atom("_NET_WM_STATE_MAXIMIZED_VERT");
    const quint32 horizontal = atom("_NET_WM_STATE_MAXIMIZED_HORZ");
    send(window, "_NET_WM_STATE", {1, vertical, horizontal, sourcePager});
    return waitUntil([&] { return atoms(window, "_NET_WM_STATE").contains(horizontal); });
}

bool XvfbSession::minimize(Window window) {
    send(window, "WM_CHANGE_STATE", {3}); // IconicState
    return waitUntil([&] { return atoms(window, "_NET_WM_STATE").contains(atom("_NET_WM_STATE_HIDDEN")); });
}

bool XvfbSession::setDesktop(Window window, quint32 desktop) {
    send(window, "_NET_WM_DESKTOP", {desktop, sourcePager});
    return waitUntil([&] { return atoms(window, "_NET_WM_DESKTOP") == QList<quint32>{desktop}; });
}

QRect XvfbSession::outerBounds(Window window) {
    for (;;) {
        const Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr));
        if (!tree)
            return {};
        if (tree->parent == m_root)
            break;
        window = tree->parent;
    }
    const Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr));
    const int border = geometry ? 2 * geometry->border_width : 0;
    return geometry ? QRect(geometry->x, geometry->y, geometry->width + border, geometry->height + border)
                    : QRect();
}

QList<quint32> XvfbSession::atoms(Window window, const QByteArray& property) {
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, atom(property), XCB_ATOM_ANY, 0, 4096),
        nullptr));
    if (!reply || reply->format != 32)
        return {};
    const auto* values = static_cast<const quint32*>(xcb_get_property_value(reply.get()));
    return QList<quint32>(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

bool XvfbSession::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    return QTest::qWaitFor(condition, static_cast<int>(timeout.count()));
}

void XvfbSession::send(Window window, const QByteArray& type, const QList<quint32>& data) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(type);
    std::copy(data.cbegin(), data.cend(), event.data.data32);
    xcb_send_event(m_connection, 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(m_connection);
}
