// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/wayland/ToplevelCover.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <memory>
#include <vector>

class QSocketNotifier;
class WaylandConnection;
struct wl_callback;
struct wl_compositor;
struct wl_display;
struct wl_output;
struct wl_registry;
struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_layer_shell_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

// One output of the compositor, with what wl_output and xdg_output say about it.
struct WaylandOutput {
    WaylandConnection* connection = nullptr;
    quint32 global = 0;
    wl_output* output = nullptr;
    zxdg_output_v1* xdgOutput = nullptr;
    // The connector, e.g. "DP-1".
    QString name;
    QString description;
    QString make;
    QString model;
    // In the compositor's logical (scaled) space.
    QPoint logicalPosition;
    QSize logicalSize;
    // From wl_output, for compositors without xdg_output.
    QPoint position;
    QSize modeSize;
    int scale = 1;
    // The first burst of events has arrived.
    bool ready = false;

    [[nodiscard]] QRect logicalFrame() const;
};

// Our own connection to the Wayland compositor, beside Qt's (Qt 6.4 offers no public handle to its
// connection): the globals the wallpaper needs, the outputs and the toplevel list, dispatched from
// Qt's event loop. Main thread only.
class WaylandConnection final : public QObject {
    Q_OBJECT

public:
    // Nothing when no compositor answers at WAYLAND_DISPLAY.
    [[nodiscard]] static std::unique_ptr<WaylandConnection> connect();
    // Whether the compositor at WAYLAND_DISPLAY offers the layer shell; a connection of its own that
    // is closed again, for use before the Qt application exists.
    [[nodiscard]] static bool offersLayerShell();
    ~WaylandConnection() override;
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    [[nodiscard]] wl_display* display() const { return m_display; }
    [[nodiscard]] wl_compositor* compositor() const { return m_compositor; }
    [[nodiscard]] zwlr_layer_shell_v1* layerShell() const { return m_layerShell; }
    // The outputs whose description is complete, in the order the compositor announced them.
    [[nodiscard]] QList<const WaylandOutput*> outputs() const;
    [[nodiscard]] const WaylandOutput* output(const QString& name) const;
    // Whether the compositor offers the toplevel list; the windows in it otherwise are unknown.
    [[nodiscard]] bool hasToplevelList() const { return m_toplevelManager != nullptr; }
    [[nodiscard]] QList<ToplevelState> toplevels() const;
    // Set once the connection failed; nothing goes to the compositor after that.
    [[nodiscard]] bool isLost() const { return m_lost; }

    // Sends what is queued. Called before the event loop sleeps, and by whoever needs an answer soon.
    void flush();
    // Sends and waits for everything the compositor has to say so far.
    bool roundtrip();
    // Soon, from the event loop: handles events that someone else (EGL) read off the socket, then
    // sends what is queued. Needed after every buffer swap, and where the loop never sleeps.
    void serviceSoon();

Q_SIGNALS:
    // An output was added, removed or changed. Several may come in one burst.
    void outputsChanged();
    // The output is about to go away: nothing may use its wl_output after this returns.
    void outputRemoved(const WaylandOutput* output);
    void toplevelsChanged();
    // The connection failed; the reason is logged.
    void lost();

private:
    explicit WaylandConnection(wl_display* display);
    void bindGlobal(quint32 name, const char* interface, quint32 version);
    void removeGlobal(quint32 name);
    void watchOutput(WaylandOutput& output);
    void readEvents();
    void checkError();

    struct Toplevel;
    struct Listeners;

    wl_display* m_display;
    wl_registry* m_registry = nullptr;
    wl_compositor* m_compositor = nullptr;
    zwlr_layer_shell_v1* m_layerShell = nullptr;
    zxdg_output_manager_v1* m_xdgOutputManager = nullptr;
    zwlr_foreign_toplevel_manager_v1* m_toplevelManager = nullptr;
    std::vector<std::unique_ptr<WaylandOutput>> m_outputs;
    std::vector<std::unique_ptr<Toplevel>> m_toplevels;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_lost = false;
    bool m_serviceQueued = false;
};
