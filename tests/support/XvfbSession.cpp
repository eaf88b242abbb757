// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/XvfbSession.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <xcb/xcb.h>

extern char** environ;

using namespace std::chrono_literals;

namespace {
XvfbSession* currentSession = nullptr;

template <class T> struct FreeDeleter {
    void operator()(T* p) const { std::free(p); }
};
template <class T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    [[nodiscard]] int get() const { return m_fd; }
    void reset() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// Everything the child needs is prepared before fork(), so that it only makes async-signal-safe
// calls. The child dies with the test process, so a crashed test leaves no server behind.
std::optional<pid_t> spawn(const QString& program, const QStringList& arguments, int outFd,
                           int extraFd = -1) {
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return std::nullopt;
    std::vector<QByteArray> storage{QFile::encodeName(path)};
    storage.reserve(static_cast<std::size_t>(arguments.size()) + 1);
    for (const QString& argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    argv.reserve(storage.size() + 1);
    for (QByteArray& item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);

    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0)
        return std::nullopt;
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        const int in = ::open("/dev/null", O_RDONLY);
        ::dup2(in, 0);
        ::dup2(outFd, 1);
        ::dup2(outFd, 2);
        if (extraFd >= 0)
            ::dup2(extraFd, 3);
        ::execve(argv[0], argv.data(), environ);
        ::_exit(127);
    }
    return pid;
}

int exitCode(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void terminate(pid_t pid) {
    ::kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 300; ++i) {
        if (::waitpid(pid, &status, WNOHANG) != 0)
            return;
        std::this_thread::sleep_for(10ms);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
}

int millimetres(int pixels) {
    return static_cast<int>(std::lround(pixels * 25.4 / 96.0));
}

QString monitorGeometry(const QRect& rect) {
    return QStringLiteral("%1/%2x%3/%4+%5+%6")
        .arg(rect.width())
        .arg(millimetres(rect.width()))
        .arg(rect.height())
        .arg(millimetres(rect.height()))
        .arg(rect.x())
        .arg(rect.y());
}

const QByteArray minimalOpenboxConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <desktops><number>2</number><firstdesk>1</firstdesk></desktops>
  <focus><focusNew>yes</focusNew></focus>
  <placement><policy>Smart</policy></placement>
</openbox_config>
)";

constexpr quint32 sourcePager = 2;
} // namespace

XvfbSession::XvfbSession(Options options) : m_options(std::move(options)) {
    currentSession = this;
    if (!m_temp.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    if (!startServer(m_options))
        return;
    for (const char* name : {"DISPLAY", "QT_QPA_PLATFORM"}) {
        m_savedEnvironment.insert(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name))
                                                                        : std::nullopt);
    }
    qputenv("DISPLAY", m_display.toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");

    // Monitors first, so that the window manager starts with its final layout.
    for (qsizetype i = 0; i < m_options.monitors.size(); ++i) {
        const QString output = i == 0 ? QStringLiteral("screen") : QStringLiteral("none");
        if (!setMonitor(m_options.monitors.at(i), output)) {
            m_error = QStringLiteral("xrandr --setmonitor failed");
            return;
        }
    }
    if (m_options.windowManager && !startWindowManager(m_options))
        return;
}

XvfbSession::~XvfbSession() {
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it)
        terminate(it->pid);
    m_children.clear();
    if (m_connection)
        xcb_disconnect(m_connection);
    if (m_server)
        terminate(*m_server);
    for (auto it = m_savedEnvironment.cbegin(); it != m_savedEnvironment.cend(); ++it) {
        if (it.value())
            qputenv(it.key().constData(), *it.value());
        else
            qunsetenv(it.key().constData());
    }
    if (currentSession == this)
        currentSession = nullptr;
}

XvfbSession* XvfbSession::current() {
    return currentSession;
}

int XvfbSession::exec(int argc, char** argv, const std::function<std::unique_ptr<QObject>()>& makeTest,
                      Options options) {
    const std::function<void()> beforeApplication = options.beforeApplication;
    XvfbSession session(std::move(options));
    if (!session.isReady()) {
        std::fprintf(stderr, "XvfbSession: %s\n", qPrintable(session.error()));
        return 1;
    }
    if (beforeApplication)
        beforeApplication();
    QGuiApplication app(argc, argv);
    const std::unique_ptr<QObject> test = makeTest();
    return QTest::qExec(test.get(), argc, argv);
}

bool XvfbSession::startServer(const Options& options) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        m_error = QStringLiteral("pipe failed");
        return false;
    }
    Fd readEnd(fds[0]);
    Fd writeEnd(fds[1]);
    const QByteArray logPath = QFile::encodeName(m_temp.filePath(QStringLiteral("Xvfb.log")));
    const Fd log(::open(logPath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    const QString screen =
        QStringLiteral("%1x%2x24").arg(options.rootSize.width()).arg(options.rootSize.height());
    m_server = spawn(QStringLiteral("Xvfb"),
                     {"-displayfd", "3", "-screen", "0", screen, "+extension", "RANDR", "-dpi", "96",
                      "-noreset", "-nolisten", "tcp"},
                     log.get(), writeEnd.get());
    writeEnd.reset();
    if (!m_server) {
        m_error = QStringLiteral("cannot start Xvfb (is it installed?)");
        return false;
    }

    QByteArray number;
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (!number.endsWith('\n') && std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{readEnd.get(), POLLIN, 0};
        if (::poll(&pfd, 1, 100) <= 0)
            continue;
        char buffer[32];
        const ssize_t n = ::read(readEnd.get(), buffer, sizeof buffer);
        if (n <= 0)
            break;
        number.append(buffer, n);
    }
    if (!number.endsWith('\n')) {
        m_error = QStringLiteral("Xvfb did not report its display\n") + serverLog();
        return false;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());

    m_connection = xcb_connect(m_display.toLocal8Bit().constData(), nullptr);
    if (xcb_connection_has_error(m_connection)) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        m_error = QStringLiteral("cannot connect to Xvfb on %1\n").arg(m_display) + serverLog();
        return false;
    }
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    return true;
}

bool XvfbSession::startWindowManager(const Options& options) {
    const QString config = m_temp.filePath(QStringLiteral("openbox-rc.xml"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(options.openboxConfig.isEmpty() ? minimalOpenboxConfig : options.openboxConfig) < 0) {
        m_error = QStringLiteral("cannot write %1").arg(config);
        return false;
    }
    file.close();
    if (!start(QStringLiteral("openbox"), {"--sm-disable", "--config-file", config})) {
        m_error = QStringLiteral("cannot start openbox (is it installed?)");
        return false;
    }
    if (!waitUntil([this] { return windowManagerReady(); }, 15s)) {
        m_error = QStringLiteral("openbox did not come up");
        return false;
    }
    // openbox announces itself before its event loop runs and drops what arrives in between, a
    // window's map request included; a desktop switch it carries out shows that the loop runs.
    const auto switchesTo = [this](quint32 desktop) {
        for (int attempt = 0; attempt < 50; ++attempt) {
            sendClientMessage(m_root, "_NET_CURRENT_DESKTOP", {desktop, XCB_CURRENT_TIME});
            if (waitUntil(
                    [&] { return cardinals(m_root, "_NET_CURRENT_DESKTOP") == QList<quint32>{desktop}; },
                    300ms))
                return true;
        }
        return false;
    };
    if (!switchesTo(1) || !switchesTo(0)) {
        m_error = QStringLiteral("openbox does not answer");
        return false;
    }
    return true;
}

bool XvfbSession::windowManagerReady() {
    const std::optional<QList<quint32>> check = cardinals(m_root, "_NET_SUPPORTING_WM_CHECK");
    if (!check || check->isEmpty())
        return false;
    const std::optional<QList<quint32>> own = cardinals(check->first(), "_NET_SUPPORTING_WM_CHECK");
    return own && own->value(0) == check->first();
}

QString XvfbSession::serverLog() const {
    QFile log(m_temp.filePath(QStringLiteral("Xvfb.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(log.readAll().right(2000));
}

quint32 XvfbSession::atom(const QByteArray& name) {
    if (!m_connection)
        return XCB_ATOM_NONE;
    if (const auto it = m_atoms.constFind(name); it != m_atoms.cend())
        return *it;
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(name.size()), name.constData()),
        nullptr));
    const quint32 value = reply ? reply->atom : quint32{XCB_ATOM_NONE};
    m_atoms.insert(name, value);
    return value;
}

bool XvfbSession::setMonitor(const Monitor& monitor, const QString& output) {
    run(QStringLiteral("xrandr"), {"--delmonitor", monitor.name});
    const QString name = monitor.primary ? QLatin1Char('*') + monitor.name : monitor.name;
    return run(QStringLiteral("xrandr"), {"--setmonitor", name, monitorGeometry(monitor.geometry), output})
               .exitCode == 0;
}

bool XvfbSession::deleteMonitor(const QString& name) {
    return run(QStringLiteral("xrandr"), {"--delmonitor", name}).exitCode == 0;
}

XvfbSession::RunResult XvfbSession::run(const QString& program, const QStringList& arguments,
                                        std::chrono::milliseconds timeout) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return {};
    Fd readEnd(fds[0]);
    Fd writeEnd(fds[1]);
    const std::optional<pid_t> pid = spawn(program, arguments, writeEnd.get());
    writeEnd.reset();
    if (!pid)
        return {};

    RunResult result;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool finished = false;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{readEnd.get(), POLLIN, 0};
        if (::poll(&pfd, 1, 50) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(readEnd.get(), buffer, sizeof buffer);
        if (n <= 0) {
            finished = true;
            break;
        }
        result.output.append(buffer, n);
    }
    if (!finished) {
        ::kill(*pid, SIGKILL);
        ::waitpid(*pid, nullptr, 0);
        return result;
    }
    int status = 0;
    ::waitpid(*pid, &status, 0);
    result.exitCode = exitCode(status);
    return result;
}

std::optional<pid_t> XvfbSession::start(const QString& program, const QStringList& arguments) {
    const QString name =
        QStringLiteral("%1-%2.log").arg(program.section(QLatin1Char('/'), -1)).arg(++m_logCount);
    const QByteArray logPath = QFile::encodeName(m_temp.filePath(name));
    const Fd log(::open(logPath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    const std::optional<pid_t> pid = spawn(program, arguments, log.get());
    if (pid)
        m_children.push_back({*pid, program});
    return pid;
}

void XvfbSession::stop(pid_t pid) {
    const auto it =
        std::find_if(m_children.begin(), m_children.end(), [pid](const Child& c) { return c.pid == pid; });
    if (it == m_children.end())
        return;
    terminate(pid);
    m_children.erase(it);
}

std::optional<XvfbSession::Client> XvfbSession::startXterm(const QString& geometry, const QString& title) {
    const std::optional<pid_t> pid = start(QStringLiteral("xterm"), {"-geometry", geometry, "-T", title});
    if (!pid)
        return std::nullopt;
    const std::optional<Window> window = waitForClient(title);
    if (!window) {
        stop(*pid);
        return std::nullopt;
    }
    return Client{*pid, *window};
}

std::optional<XvfbSession::Window> XvfbSession::waitForClient(const QString& title,
                                                              std::chrono::milliseconds timeout) {
    std::optional<Window> found;
    const QByteArray wanted = title.toUtf8();
    waitUntil(
        [&] {
            for (const Window client : clients()) {
                const Reply<xcb_get_property_reply_t> name(xcb_get_property_reply(
                    m_connection,
                    xcb_get_property(m_connection, 0, client, atom("_NET_WM_NAME"), XCB_ATOM_ANY, 0, 1024),
                    nullptr));
                const Reply<xcb_get_property_reply_t> legacy(xcb_get_property_reply(
                    m_connection,
                    xcb_get_property(m_connection, 0, client, XCB_ATOM_WM_NAME, XCB_ATOM_ANY, 0, 1024),
                    nullptr));
                const auto text = [](const Reply<xcb_get_property_reply_t>& reply) {
                    if (!reply || reply->format != 8)
                        return QByteArray();
                    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                                      xcb_get_property_value_length(reply.get()));
                };
                if ((text(name) == wanted || text(legacy) == wanted) && isManaged(client)) {
                    found = client;
                    return true;
                }
            }
            return false;
        },
        timeout);
    if (found)
        waitUntilSettled(*found);
    return found;
}

bool XvfbSession::screenshot(const QString& path) {
    return run(QStringLiteral("import"), {"-window", "root", path}, 30s).exitCode == 0;
}

std::optional<XvfbSession::Window> XvfbSession::createWindow(const WindowSpec& wanted) {
    if (!m_connection)
        return std::nullopt;
    const Window window = xcb_generate_id(m_connection);
    const QRect initial = wanted.bounds.isValid() ? wanted.bounds : QRect(100, 100, 400, 300);
    const uint32_t background = 0x4060a0;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_root, static_cast<int16_t>(initial.x()),
                      static_cast<int16_t>(initial.y()), static_cast<uint16_t>(initial.width()),
                      static_cast<uint16_t>(initial.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, &background);

    const QByteArray title = wanted.title.toUtf8();
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(title.size()), title.constData());
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_NAME"),
                        atom("UTF8_STRING"), 8, static_cast<uint32_t>(title.size()), title.constData());
    static constexpr char wmClass[] = "lumivale-test\0LumivaleTest";
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        sizeof wmClass, wmClass);
    // USPosition | USSize | PPosition | PSize, so that the window manager keeps the requested place.
    const uint32_t sizeHints[18] = {
        1 | 2 | 4 | 8, static_cast<uint32_t>(initial.x()), static_cast<uint32_t>(initial.y()),
        static_cast<uint32_t>(initial.width()), static_cast<uint32_t>(initial.height())};
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, 18, sizeHints);
    if (!wanted.type.isEmpty()) {
        const uint32_t type = atom(wanted.type);
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_WINDOW_TYPE"),
                            XCB_ATOM_ATOM, 32, 1, &type);
    }
    if (wanted.opacity) {
        const auto value = static_cast<uint32_t>(std::clamp(*wanted.opacity, 0.0, 1.0) * 0xFFFFFFFFu);
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_WINDOW_OPACITY"),
                            XCB_ATOM_CARDINAL, 32, 1, &value);
    }
    if (wanted.strutPartial && wanted.strutPartial->size() == 12) {
        const QList<quint32>& strut = *wanted.strutPartial;
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_STRUT_PARTIAL"),
                            XCB_ATOM_CARDINAL, 32, 12, strut.constData());
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_STRUT"),
                            XCB_ATOM_CARDINAL, 32, 4, strut.constData());
    }
    if (!wanted.decorated) {
        const uint32_t motifHints[5] = {2, 0, 0, 0, 0}; // flags: decorations; decorations: none
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_MOTIF_WM_HINTS"),
                            atom("_MOTIF_WM_HINTS"), 32, 5, motifHints);
    }
    xcb_map_window(m_connection, window);
    xcb_flush(m_connection);
    m_windows.append(window);

    if (!waitUntil([&] { return isManaged(window); }, 10s)) {
        qWarning("XvfbSession: the window manager did not map window 0x%x", window);
        return std::nullopt;
    }
    if (wanted.bounds.isValid() ? !moveResize(window, wanted.bounds) : !waitUntilSettled(window))
        return std::nullopt;
    return window;
}

std::optional<XvfbSession::Window> XvfbSession::createDock(const QRect& bounds, Qt::Edge edge) {
    const auto u = [](int value) { return static_cast<quint32>(std::max(value, 0)); };
    const QSize root = m_options.rootSize;
    QList<quint32> strut(12, 0);
    switch (edge) {
    case Qt::LeftEdge:
        strut[0] = u(bounds.right() + 1);
        strut[4] = u(bounds.top());
        strut[5] = u(bounds.bottom());
        break;
    case Qt::RightEdge:
        strut[1] = u(root.width() - bounds.left());
        strut[6] = u(bounds.top());
        strut[7] = u(bounds.bottom());
        break;
    case Qt::TopEdge:
        strut[2] = u(bounds.bottom() + 1);
        strut[8] = u(bounds.left());
        strut[9] = u(bounds.right());
        break;
    case Qt::BottomEdge:
        strut[3] = u(root.height() - bounds.top());
        strut[10] = u(bounds.left());
        strut[11] = u(bounds.right());
        break;
    }
    return createWindow({.bounds = bounds,
                         .title = QStringLiteral("lumivale-dock"),
                         .type = "_NET_WM_WINDOW_TYPE_DOCK",
                         .opacity = std::nullopt,
                         .strutPartial = strut,
                         .decorated = false});
}

bool XvfbSession::destroyWindow(Window window) {
    if (!m_windows.removeOne(window))
        return false;
    xcb_destroy_window(m_connection, window);
    xcb_flush(m_connection);
    if (waitUntil([&] { return !clients().contains(window); }))
        return true;
    qWarning("XvfbSession: the window manager still lists destroyed window 0x%x", window);
    return false;
}

bool XvfbSession::moveResize(Window window, const QRect& bounds) {
    if (!m_options.windowManager) {
        const uint32_t values[] = {static_cast<uint32_t>(bounds.x()), static_cast<uint32_t>(bounds.y()),
                                   static_cast<uint32_t>(bounds.width()),
                                   static_cast<uint32_t>(bounds.height())};
        xcb_configure_window(m_connection, window,
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                                 XCB_CONFIG_WINDOW_HEIGHT,
                             values);
        xcb_flush(m_connection);
        return waitUntil([&] { return outerBounds(window) == bounds; });
    }
    const QList<quint32> extents =
        cardinals(window, "_NET_FRAME_EXTENTS").value_or(QList<quint32>{0, 0, 0, 0});
    if (extents.size() < 4)
        return false;
    const auto left = static_cast<int>(extents[0]), right = static_cast<int>(extents[1]);
    const auto top = static_cast<int>(extents[2]), bottom = static_cast<int>(extents[3]);
    // Gravity NorthWest with x, y, width and height given: x and y place the frame's corner.
    const quint32 flags = 1 | (0xF << 8) | (sourcePager << 12);
    sendClientMessage(window, "_NET_MOVERESIZE_WINDOW",
                      {flags, static_cast<quint32>(bounds.x()), static_cast<quint32>(bounds.y()),
                       static_cast<quint32>(bounds.width() - left - right),
                       static_cast<quint32>(bounds.height() - top - bottom)});
    if (waitUntil([&] { return outerBounds(window) == bounds; }))
        return true;
    const QRect now = outerBounds(window);
    qWarning("XvfbSession: window 0x%x is at %d,%d %dx%d instead of %d,%d %dx%d", window, now.x(), now.y(),
             now.width(), now.height(), bounds.x(), bounds.y(), bounds.width(), bounds.height());
    return false;
}

bool XvfbSession::maximize(Window window) {
    const quint32 vertical = atom("_NET_WM_STATE_MAXIMIZED_VERT");
    const quint32 horizontal = atom("_NET_WM_STATE_MAXIMIZED_HORZ");
    sendClientMessage(window, "_NET_WM_STATE", {1, vertical, horizontal, sourcePager});
    return waitUntil([&] {
               const QList<quint32> state = atoms(window, "_NET_WM_STATE");
               return state.contains(vertical) && state.contains(horizontal);
           }) &&
           waitUntilSettled(window);
}

bool XvfbSession::minimize(Window window) {
    constexpr quint32 iconicState = 3;
    sendClientMessage(window, "WM_CHANGE_STATE", {iconicState});
    const quint32 hidden = atom("_NET_WM_STATE_HIDDEN");
    return waitUntil([&] { return atoms(window, "_NET_WM_STATE").contains(hidden); });
}

bool XvfbSession::setDesktop(Window window, quint32 desktop) {
    sendClientMessage(window, "_NET_WM_DESKTOP", {desktop, sourcePager});
    return waitUntil([&] { return cardinals(window, "_NET_WM_DESKTOP") == QList<quint32>{desktop}; });
}

bool XvfbSession::activate(Window window) {
    sendClientMessage(window, "_NET_ACTIVE_WINDOW", {sourcePager, XCB_CURRENT_TIME, 0});
    return waitUntil([&] {
        const QList<quint32> stacking = atoms(m_root, "_NET_CLIENT_LIST_STACKING");
        return cardinals(m_root, "_NET_ACTIVE_WINDOW") == QList<quint32>{window} && !stacking.isEmpty() &&
               stacking.last() == window;
    });
}

bool XvfbSession::setCurrentDesktop(quint32 desktop) {
    sendClientMessage(m_root, "_NET_CURRENT_DESKTOP", {desktop, XCB_CURRENT_TIME});
    return waitUntil([&] { return cardinals(m_root, "_NET_CURRENT_DESKTOP") == QList<quint32>{desktop}; });
}

QRect XvfbSession::outerBounds(Window window) {
    if (!m_connection)
        return {};
    Window top = window;
    for (;;) {
        const Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, top), nullptr));
        if (!tree)
            return {};
        if (tree->parent == m_root || tree->parent == XCB_WINDOW_NONE)
            break;
        top = tree->parent;
    }
    const Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, top), nullptr));
    if (!geometry)
        return {};
    const int border = geometry->border_width;
    return QRect(geometry->x, geometry->y, geometry->width + 2 * border, geometry->height + 2 * border);
}

QList<XvfbSession::Window> XvfbSession::clients() {
    return cardinals(m_root, "_NET_CLIENT_LIST").value_or(QList<quint32>{});
}

std::optional<QList<quint32>> XvfbSession::cardinals(Window window, const QByteArray& property) {
    if (!m_connection)
        return std::nullopt;
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, window, atom(property), XCB_ATOM_ANY, 0, 4096),
        nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE || reply->format != 32)
        return std::nullopt;
    const auto* values = static_cast<const quint32*>(xcb_get_property_value(reply.get()));
    return QList<quint32>(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

QList<quint32> XvfbSession::atoms(Window window, const QByteArray& property) {
    return cardinals(window, property).value_or(QList<quint32>{});
}

bool XvfbSession::setCardinals(Window window, const QByteArray& property, const QList<quint32>& values) {
    if (!m_connection)
        return false;
    const xcb_void_cookie_t cookie = xcb_change_property_checked(
        m_connection, XCB_PROP_MODE_REPLACE, window, atom(property), XCB_ATOM_CARDINAL, 32,
        static_cast<uint32_t>(values.size()), values.constData());
    return Reply<xcb_generic_error_t>(xcb_request_check(m_connection, cookie)) == nullptr;
}

bool XvfbSession::deleteProperty(Window window, const QByteArray& property) {
    if (!m_connection)
        return false;
    const xcb_void_cookie_t cookie = xcb_delete_property_checked(m_connection, window, atom(property));
    return Reply<xcb_generic_error_t>(xcb_request_check(m_connection, cookie)) == nullptr;
}

bool XvfbSession::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        if (QCoreApplication::instance())
            QTest::qWait(10);
        else
            std::this_thread::sleep_for(10ms);
    }
}

void XvfbSession::sendClientMessage(Window window, const QByteArray& type, const QList<quint32>& data) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(type);
    for (qsizetype i = 0; i < std::min<qsizetype>(data.size(), 5); ++i)
        event.data.data32[i] = data[i];
    xcb_send_event(m_connection, 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(m_connection);
}

bool XvfbSession::isManaged(Window window) {
    const Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, window), nullptr));
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
        return false;
    return !m_options.windowManager || clients().contains(window);
}

// The window manager may move a window in several steps; the bounds must hold still for a while.
bool XvfbSession::waitUntilSettled(Window window) {
    QRect last;
    int stable = 0;
    return waitUntil(
        [&] {
            const QRect now = outerBounds(window);
            stable = !now.isNull() && now == last ? stable + 1 : 0;
            last = now;
            return stable >= 3;
        },
        2s);
}
