// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <sys/types.h>
#include <vector>

struct xcb_connection_t;

// A RandR monitor of the session.
struct XvfbMonitor {
    QString name{};
    QRect geometry{};
    // Qt makes the primary monitor its primary screen and lists it first.
    bool primary = false;

    [[nodiscard]] static XvfbMonitor left() { return {QStringLiteral("LEFT"), QRect(0, 0, 1920, 1080)}; }
    [[nodiscard]] static XvfbMonitor right() { return {QStringLiteral("RIGHT"), QRect(1920, 0, 1920, 1080)}; }
};

// How an XvfbSession starts.
struct XvfbOptions {
    QSize rootSize{3840, 1080};
    // The first monitor takes Xvfb's only output ("screen"); the others have none.
    QList<XvfbMonitor> monitors{XvfbMonitor::left(), XvfbMonitor::right()};
    bool windowManager = true;
    // Contents of openbox's rc.xml; empty for a minimal one with two desktops.
    QByteArray openboxConfig{};
    // Runs after the server is up and before the application is made (exec() only), e.g. to
    // set application attributes.
    std::function<void()> beforeApplication{};
};

// A test window made by XvfbSession::createWindow.
struct XvfbWindowSpec {
    // Outer bounds, frame included, in root coordinates; empty to let the window manager place
    // a 400x300 window.
    QRect bounds{};
    QString title = QStringLiteral("lumivale-test");
    // An atom name such as "_NET_WM_WINDOW_TYPE_NORMAL"; empty for no type property.
    QByteArray type = "_NET_WM_WINDOW_TYPE_NORMAL";
    // Written as _NET_WM_WINDOW_OPACITY (value * 0xFFFFFFFF) before mapping.
    std::optional<double> opacity{};
    // The 12 values of _NET_WM_STRUT_PARTIAL; _NET_WM_STRUT gets the first four.
    std::optional<QList<quint32>> strutPartial{};
    bool decorated = true;
};

// A private X server for tests: Xvfb with RandR on a free display, openbox as the window manager and
// RandR monitors (by default LEFT and RIGHT, 1920x1080 each, side by side on a 3840x1080 root, at
// 96 dpi so that Qt's device pixel ratio is 1). Create it before the QGuiApplication: it points
// DISPLAY at the new server and QT_QPA_PLATFORM at xcb. Everything it started stops when it goes
// away, and also when the test process dies.
//
// The session has its own X connection, so the windows it makes are another client's to the window
// manager and to the code under test. Every window operation waits until the window manager has
// carried it out; while waiting, the Qt event loop runs when an application exists.
class XvfbSession {
public:
    using Window = quint32;
    using Monitor = XvfbMonitor;
    using Options = XvfbOptions;
    using WindowSpec = XvfbWindowSpec;

    // A program that shows a window.
    struct Client {
        pid_t pid = 0;
        Window window = 0;
    };

    struct RunResult {
        int exitCode = -1; // -1 when the program could not run or did not finish in time
        QByteArray output; // stdout and stderr together
    };

    explicit XvfbSession(Options options = {});
    ~XvfbSession();
    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;

    // The session made by exec(), or the last one made; null when there is none.
    [[nodiscard]] static XvfbSession* current();

    // Starts a session, then a QGuiApplication on it, then runs the test object's slots.
    static int exec(int argc, char** argv, const std::function<std::unique_ptr<QObject>()>& makeTest,
                    Options options = {});

    [[nodiscard]] bool isReady() const { return m_error.isEmpty(); }
    // Why the session could not start, with the end of the server's log; empty when ready.
    [[nodiscard]] const QString& error() const { return m_error; }
    // ":N"
    [[nodiscard]] const QString& display() const { return m_display; }
    // The session's own connection; null when not ready.
    [[nodiscard]] xcb_connection_t* connection() const { return m_connection; }
    [[nodiscard]] Window root() const { return m_root; }
    [[nodiscard]] quint32 atom(const QByteArray& name);
    // Where temporary files and the logs of started programs go.
    [[nodiscard]] QString tempPath() const { return m_temp.path(); }

    // RandR monitors through xrandr. setMonitor replaces a monitor of the same name (Xvfb refuses
    // to change one in place, so Qt sees it removed and added).
    bool setMonitor(const Monitor& monitor, const QString& output = QStringLiteral("none"));
    bool deleteMonitor(const QString& name);

    // Runs a program to its end with DISPLAY set.
    RunResult run(const QString& program, const QStringList& arguments,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Starts a program that keeps running; it is stopped by stop() or when the session ends. Its
    // output goes to a log file in tempPath(). Returns the process id, or nothing.
    std::optional<pid_t> start(const QString& program, const QStringList& arguments);
    void stop(pid_t pid);
    // Starts xterm with a geometry such as "80x24+100+100" (in characters) and waits until the
    // window manager has mapped its window.
    std::optional<Client> startXterm(const QString& geometry = QStringLiteral("80x24+100+100"),
                                     const QString& title = QStringLiteral("lumivale-xterm"));
    // The first client in _NET_CLIENT_LIST whose name is the title, once the window manager maps it.
    std::optional<Window> waitForClient(const QString& title,
                                        std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // `import -window root` into a PNG file.
    bool screenshot(const QString& path);

    // Test windows on the session's connection; they are mapped and, when the wanted has bounds,
    // placed so that their outer bounds are exactly those.
    std::optional<Window> createWindow(const WindowSpec& wanted);
    // An undecorated dock window with the bounds, reserving its size along the edge of the root
    // (_NET_WM_STRUT_PARTIAL) over its own extent.
    std::optional<Window> createDock(const QRect& bounds, Qt::Edge edge);
    bool destroyWindow(Window window);

    // Window manager requests, each waiting for its effect.
    bool moveResize(Window window, const QRect& bounds);
    bool maximize(Window window);
    bool minimize(Window window);
    bool setDesktop(Window window, quint32 desktop);
    // Raises and focuses the window, as a pager or task bar would.
    bool activate(Window window);
    bool setCurrentDesktop(quint32 desktop);

    // Outer bounds of a window in root coordinates: its window manager frame when it has one. A
    // null QRect when the window does not exist.
    [[nodiscard]] QRect outerBounds(Window window);
    [[nodiscard]] QList<Window> clients();
    [[nodiscard]] std::optional<QList<quint32>> cardinals(Window window, const QByteArray& property);
    [[nodiscard]] QList<quint32> atoms(Window window, const QByteArray& property);
    bool setCardinals(Window window, const QByteArray& property, const QList<quint32>& values);
    bool deleteProperty(Window window, const QByteArray& property);

    // Polls the condition every few milliseconds (running the Qt event loop when there is one)
    // until it holds or the time is up.
    bool waitUntil(const std::function<bool()>& condition,
                   std::chrono::milliseconds timeout = std::chrono::seconds(5));

private:
    struct Child {
        pid_t pid;
        QString program;
    };

    bool startServer(const Options& options);
    bool startWindowManager(const Options& options);
    [[nodiscard]] bool windowManagerReady();
    void sendClientMessage(Window window, const QByteArray& type, const QList<quint32>& data);
    [[nodiscard]] bool isManaged(Window window);
    bool waitUntilSettled(Window window);
    [[nodiscard]] QString serverLog() const;

    Options m_options;
    QTemporaryDir m_temp;
    QString m_error;
    QString m_display;
    xcb_connection_t* m_connection = nullptr;
    Window m_root = 0;
    std::optional<pid_t> m_server;
    std::vector<Child> m_children;
    QList<Window> m_windows;
    QHash<QByteArray, quint32> m_atoms;
    QHash<QByteArray, std::optional<QByteArray>> m_savedEnvironment;
    int m_logCount = 0;
};

#define LUMIVALE_X11_TEST_MAIN_WITH(TestClass, options)                                                      \
    int main(int argc, char** argv) {                                                                        \
        return XvfbSession::exec(                                                                            \
            argc, argv, [] { return std::make_unique<TestClass>(); }, options);                              \
    }

// A main() that starts the default session (two monitors, openbox) before the application.
#define LUMIVALE_X11_TEST_MAIN(TestClass) LUMIVALE_X11_TEST_MAIN_WITH(TestClass, XvfbSession::Options{})
