// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct xcb_connection_t;

// A test window made by XvfbSession::createWindow.
struct XvfbWindowPlan {
    // Outer bounds, frame included, in root coordinates.
    QRect bounds{100, 100, 400, 300};
    // An atom name such as "_NET_WM_WINDOW_TYPE_NORMAL"; empty for no type property.
    QByteArray type = "_NET_WM_WINDOW_TYPE_NORMAL";
    // _NET_WM_WINDOW_OPACITY, from 0 to 1.
    std::optional<double> opacity{};
    // The 12 values of _NET_WM_STRUT_PARTIAL; _NET_WM_STRUT gets the first four.
    QList<quint32> strut{};
    bool decorated = true;
};

// The test's hold on the X server that tests/support/on-xvfb started for it (Xvfb with openbox and
// the RandR monitors LEFT and RIGHT, 1920x1080 each, side by side). It has its own X connection, so
// the windows it makes are another client's to the window manager and to the code under test. Every
// window operation waits until the window manager has carried it out; while waiting, the Qt event
// loop runs.
class XvfbSession {
public:
    using Window = quint32;

    struct RunResult {
        int exitCode = -1; // -1 when the program could not run or did not finish in time
        QByteArray output; // stdout and stderr together
    };

    XvfbSession();
    ~XvfbSession();
    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;

    // The session made by exec(); null when there is none.
    [[nodiscard]] static XvfbSession* current();
    // Makes a QGuiApplication and the session, then runs the test object's slots.
    static int exec(int argc, char** argv, const std::function<std::unique_ptr<QObject>()>& makeTest);

    [[nodiscard]] bool isReady() const { return m_connection != nullptr; }
    [[nodiscard]] xcb_connection_t* connection() const { return m_connection; }
    [[nodiscard]] Window root() const { return m_root; }
    [[nodiscard]] quint32 atom(const QByteArray& name);
    // Where temporary files go; removed when the server stops.
    [[nodiscard]] static QString tempPath() { return qEnvironmentVariable("LUMIVALE_XVFB"); }

    // Runs a program to its end.
    RunResult run(const QString& program, const QStringList& arguments,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Starts a program that keeps running until the end of the session.
    bool start(const QString& program, const QStringList& arguments);
    // `import -window root` into a PNG file.
    bool screenshot(const QString& path);

    // A mapped window with exactly the outer bounds of the plan.
    std::optional<Window> createWindow(const XvfbWindowPlan& plan);
    bool destroyWindow(Window window);
    bool maximize(Window window);
    bool minimize(Window window);
    bool setDesktop(Window window, quint32 desktop);

    // Outer bounds of a window in root coordinates, its frame included; null when there is none.
    [[nodiscard]] QRect outerBounds(Window window);
    [[nodiscard]] QList<Window> clients() { return atoms(m_root, "_NET_CLIENT_LIST"); }
    // The values of a property of 32-bit items, such as atoms or cardinals; none when it is not set.
    [[nodiscard]] QList<quint32> atoms(Window window, const QByteArray& property);

    // Polls the condition, running the event loop, until it holds or the time is up.
    bool waitUntil(const std::function<bool()>& condition,
                   std::chrono::milliseconds timeout = std::chrono::seconds(5));

private:
    void send(Window window, const QByteArray& type, const QList<quint32>& data);
    bool moveResize(Window window, const QRect& bounds);

    xcb_connection_t* m_connection = nullptr;
    Window m_root = 0;
    QHash<QByteArray, quint32> m_atoms;
    std::vector<std::unique_ptr<QProcess>> m_children;
};

// A main() that runs the test class on the X server of tests/support/on-xvfb.
#define LUMIVALE_X11_TEST_MAIN(TestClass)                                                                    \
    int main(int argc, char** argv) {                                                                        \
        return XvfbSession::exec(argc, argv, [] { return std::make_unique<TestClass>(); });                  \
    }
