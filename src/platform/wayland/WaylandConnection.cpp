// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandConnection.h"

#include "platform/wayland/WaylandLog.h"
#include "platform/wayland/WaylandProtocols.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

Q_LOGGING_CATEGORY(lcWayland, "lumivale.wayland")

namespace {
constexpr quint32 compositorVersion = 4;
constexpr quint32 layerShellVersion = 4;
constexpr quint32 outputVersion = 4;
constexpr quint32 xdgOutputVersion = 3;
constexpr quint32 toplevelVersion = 3;

[[nodiscard]] QString text(const char* value) {
    return QString::fromUtf8(value);
}
} // namespace

QRect WaylandOutput::logicalFrame() const {
    if (logicalSize.isValid() && !logicalSize.isEmpty())
        return QRect(logicalPosition, logicalSize);
    const int divisor = std::max(1, scale);
    return QRect(position, modeSize / divisor);
}

struct WaylandConnection::Toplevel {
    WaylandConnection* connection = nullptr;
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
    ToplevelState state;
    QList<wl_output*> outputs;
};

// The protocol listeners, each a table of C callbacks that find their object through `data`.
struct WaylandConnection::Listeners {
    static void global(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
        static_cast<WaylandConnection*>(data)->bindGlobal(name, interface, version);
    }
    static void globalRemove(void* data, wl_registry*, uint32_t name) {
        static_cast<WaylandConnection*>(data)->removeGlobal(name);
    }
    static constexpr wl_registry_listener registry{&global, &globalRemove};

    static WaylandOutput& out(void* data) { return *static_cast<WaylandOutput*>(data); }
    static void geometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t,
                         const char* make, const char* model, int32_t) {
        out(data).position = QPoint(x, y);
        out(data).make = text(make);
        out(data).model = text(model);
    }
    static void mode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
        if (flags & WL_OUTPUT_MODE_CURRENT)
            out(data).modeSize = QSize(width, height);
    }
    static void outputDone(void* data, wl_output*);
    static void scale(void* data, wl_output*, int32_t factor) { out(data).scale = std::max(1, factor); }
    static void name(void* data, wl_output*, const char* value) {
        if (out(data).name.isEmpty())
            out(data).name = text(value);
    }
    static void description(void* data, wl_output*, const char* value) {
        out(data).description = text(value);
    }
    static constexpr wl_output_listener output{&geometry, &mode, &outputDone, &scale, &name, &description};

    static void logicalPosition(void* data, zxdg_output_v1*, int32_t x, int32_t y) {
        out(data).logicalPosition = QPoint(x, y);
    }
    static void logicalSize(void* data, zxdg_output_v1*, int32_t width, int32_t height) {
        out(data).logicalSize = QSize(width, height);
    }
    static void xdgDone(void*, zxdg_output_v1*) {}
    static void xdgName(void* data, zxdg_output_v1*, const char* value) { out(data).name = text(value); }
    static void xdgDescription(void* data, zxdg_output_v1*, const char* value) {
        out(data).description = text(value);
    }
    static constexpr zxdg_output_v1_listener xdgOutput{&logicalPosition, &logicalSize, &xdgDone, &xdgName,
                                                       &xdgDescription};

    static void toplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                         zwlr_foreign_toplevel_handle_v1* handle);
    static void finished(void* data, zwlr_foreign_toplevel_manager_v1*) {
        auto* self = static_cast<WaylandConnection*>(data);
        self->m_toplevelManager = nullptr;
        Q_EMIT self->toplevelsChanged();
    }
    static constexpr zwlr_foreign_toplevel_manager_v1_listener toplevelManager{&toplevel, &finished};

    static Toplevel& top(void* data) { return *static_cast<Toplevel*>(data); }
    static void title(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
    static void appId(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
    static void outputEnter(void* data, zwlr_foreign_toplevel_handle_v1*, wl_output* output) {
        if (!top(data).outputs.contains(output))
            top(data).outputs.append(output);
    }
    static void outputLeave(void* data, zwlr_foreign_toplevel_handle_v1*, wl_output* output) {
        top(data).outputs.removeAll(output);
    }
    static void state(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
        ToplevelState& state = top(data).state;
        state.maximized = state.minimized = state.activated = state.fullscreen = false;
        const auto* values = static_cast<const uint32_t*>(states->data);
        for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i) {
            switch (values[i]) {
            case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MAXIMIZED:
                state.maximized = true;
                break;
            case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED:
                state.minimized = true;
                break;
            case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED:
                state.activated = true;
                break;
            case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_FULLSCREEN:
                state.fullscreen = true;
                break;
            default:
                break;
            }
        }
    }
    static void toplevelDone(void* data, zwlr_foreign_toplevel_handle_v1*) {
        Q_EMIT top(data).connection->toplevelsChanged();
    }
    static void closed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        WaylandConnection* self = top(data).connection;
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
        std::erase_if(self->m_toplevels, [data](const auto& t) { return t.get() == data; });
        Q_EMIT self->toplevelsChanged();
    }
    static void parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}
    static constexpr zwlr_foreign_toplevel_handle_v1_listener toplevelHandle{
        &title, &appId, &outputEnter, &outputLeave, &state, &toplevelDone, &closed, &parent};
};

void WaylandConnection::Listeners::outputDone(void* data, wl_output*) {
    WaylandOutput& output = out(data);
    output.ready = true;
    Q_EMIT output.connection->outputsChanged();
}

void WaylandConnection::Listeners::toplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                                            zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<WaylandConnection*>(data);
    auto toplevel = std::make_unique<Toplevel>();
    toplevel->connection = self;
    toplevel->handle = handle;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &toplevelHandle, toplevel.get());
    self->m_toplevels.push_back(std::move(toplevel));
}

std::unique_ptr<WaylandConnection> WaylandConnection::connect() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        qCWarning(lcWayland) << "Cannot connect to the Wayland compositor:" << std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    // Globals first, then what the outputs say about themselves.
    if (!connection->roundtrip() || !connection->roundtrip())
        return nullptr;
    return connection;
}

bool WaylandConnection::offersLayerShell() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return false;
    bool found = false;
    wl_registry* registry = wl_display_get_registry(display);
    static constexpr wl_registry_listener listener{
        [](void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
            if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0)
                *static_cast<bool*>(data) = true;
        },
        [](void*, wl_registry*, uint32_t) {}};
    wl_registry_add_listener(registry, &listener, &found);
    wl_display_roundtrip(display);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return found;
}

WaylandConnection::WaylandConnection(wl_display* display) : m_display(display) {
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &Listeners::registry, this);

    m_notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(m_display), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, this, &WaylandConnection::readEvents);
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                         &WaylandConnection::flush);
        // Events that arrived along with another read (EGL's, a roundtrip's) sit in the queue
        // without the socket becoming readable again.
        QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, this, [this] {
            if (!m_lost)
                wl_display_dispatch_pending(m_display);
        });
    }
}

WaylandConnection::~WaylandConnection() {
    m_notifier.reset();
    for (const auto& toplevel : m_toplevels)
        zwlr_foreign_toplevel_handle_v1_destroy(toplevel->handle);
    m_toplevels.clear();
    if (m_toplevelManager)
        zwlr_foreign_toplevel_manager_v1_destroy(m_toplevelManager);
    for (const auto& output : m_outputs) {
        if (output->xdgOutput)
            zxdg_output_v1_destroy(output->xdgOutput);
        wl_output_destroy(output->output);
    }
    m_outputs.clear();
    if (m_xdgOutputManager)
        zxdg_output_manager_v1_destroy(m_xdgOutputManager);
    if (m_layerShell)
        zwlr_layer_shell_v1_destroy(m_layerShell);
    if (m_compositor)
        wl_compositor_destroy(m_compositor);
    wl_registry_destroy(m_registry);
    wl_display_flush(m_display);
    wl_display_disconnect(m_display);
}

void WaylandConnection::bindGlobal(quint32 name, const char* interface, quint32 version) {
    const auto bind = [&](const wl_interface& wanted, quint32 newest) {
        return wl_registry_bind(m_registry, name, &wanted, std::min(version, newest));
    };
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        m_compositor = static_cast<wl_compositor*>(bind(wl_compositor_interface, compositorVersion));
    } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
        m_layerShell =
            static_cast<zwlr_layer_shell_v1*>(bind(zwlr_layer_shell_v1_interface, layerShellVersion));
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        m_xdgOutputManager =
            static_cast<zxdg_output_manager_v1*>(bind(zxdg_output_manager_v1_interface, xdgOutputVersion));
        for (const auto& output : m_outputs)
            watchOutput(*output);
    } else if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0) {
        m_toplevelManager = static_cast<zwlr_foreign_toplevel_manager_v1*>(
            bind(zwlr_foreign_toplevel_manager_v1_interface, toplevelVersion));
        zwlr_foreign_toplevel_manager_v1_add_listener(m_toplevelManager, &Listeners::toplevelManager, this);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        auto output = std::make_unique<WaylandOutput>();
        output->connection = this;
        output->global = name;
        output->output = static_cast<wl_output*>(bind(wl_output_interface, outputVersion));
        wl_output_add_listener(output->output, &Listeners::output, output.get());
        watchOutput(*output);
        m_outputs.push_back(std::move(output));
    }
}

void WaylandConnection::watchOutput(WaylandOutput& output) {
    if (!m_xdgOutputManager || output.xdgOutput)
        return;
    output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(m_xdgOutputManager, output.output);
    zxdg_output_v1_add_listener(output.xdgOutput, &Listeners::xdgOutput, &output);
}

void WaylandConnection::removeGlobal(quint32 name) {
    const auto found = std::find_if(m_outputs.begin(), m_outputs.end(),
                                    [name](const auto& output) { return output->global == name; });
    if (found == m_outputs.end())
        return;
    std::unique_ptr<WaylandOutput> output = std::move(*found);
    m_outputs.erase(found);
    qCInfo(lcWayland) << "Output" << output->name << "went away";
    Q_EMIT outputRemoved(output.get());
    for (const auto& toplevel : m_toplevels)
        toplevel->outputs.removeAll(output->output);
    if (output->xdgOutput)
        zxdg_output_v1_destroy(output->xdgOutput);
    if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(output->output)) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
        wl_output_release(output->output);
    else
        wl_output_destroy(output->output);
    Q_EMIT outputsChanged();
}

QList<const WaylandOutput*> WaylandConnection::outputs() const {
    QList<const WaylandOutput*> ready;
    for (const auto& output : m_outputs) {
        if (output->ready && !output->name.isEmpty())
            ready.append(output.get());
    }
    return ready;
}

const WaylandOutput* WaylandConnection::output(const QString& name) const {
    for (const WaylandOutput* output : outputs()) {
        if (output->name == name)
            return output;
    }
    return nullptr;
}

QList<ToplevelState> WaylandConnection::toplevels() const {
    QList<ToplevelState> states;
    for (const auto& toplevel : m_toplevels) {
        ToplevelState state = toplevel->state;
        for (const auto& output : m_outputs) {
            if (toplevel->outputs.contains(output->output))
                state.outputs.insert(output->name);
        }
        states.append(state);
    }
    return states;
}

void WaylandConnection::flush() {
    if (m_lost)
        return;
    if (wl_display_flush(m_display) < 0 && errno != EAGAIN)
        checkError();
}

bool WaylandConnection::roundtrip() {
    if (m_lost)
        return false;
    if (wl_display_roundtrip(m_display) < 0) {
        checkError();
        return false;
    }
    return true;
}

void WaylandConnection::serviceSoon() {
    if (std::exchange(m_serviceQueued, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_serviceQueued = false;
            if (m_lost)
                return;
            if (wl_display_dispatch_pending(m_display) < 0)
                checkError();
            flush();
        },
        Qt::QueuedConnection);
}

void WaylandConnection::readEvents() {
    if (m_lost)
        return;
    while (wl_display_prepare_read(m_display) != 0) {
        if (wl_display_dispatch_pending(m_display) < 0) {
            checkError();
            return;
        }
    }
    if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0)
        checkError();
    flush();
}

void WaylandConnection::checkError() {
    const int error = wl_display_get_error(m_display);
    if (error == 0 || m_lost)
        return;
    m_lost = true;
    m_notifier->setEnabled(false);
    uint32_t code = 0;
    const wl_interface* interface = nullptr;
    wl_display_get_protocol_error(m_display, &interface, &code);
    if (interface)
        qCWarning(lcWayland) << "The compositor ended our connection: protocol error" << code << "on"
                             << interface->name << "; wallpapers pause until Lumivale restarts";
    else
        qCWarning(lcWayland) << "Lost the connection to the compositor:" << std::strerror(error)
                             << "; wallpapers pause until Lumivale restarts";
    Q_EMIT lost();
}
