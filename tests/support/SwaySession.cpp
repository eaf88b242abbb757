// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/SwaySession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>
#include <unistd.h>
#include <utility>

namespace {
constexpr uid_t nobody = 65534;
constexpr int startSeconds = 20;
} // namespace

SwaySession::SwaySession(const QStringList& config) {
    const QString conf = m_runtime.filePath(QStringLiteral("sway.conf"));
    QFile file(conf);
    if (!file.open(QIODevice::WriteOnly) || file.write(config.join('\n').toUtf8() + '\n') < 0) {
        m_error = QStringLiteral("cannot write %1").arg(conf);
        return;
    }
    file.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK", "WAYLAND_SOCKET"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    environment.insert(QStringLiteral("WLR_HEADLESS_OUTPUTS"),
                       QString::number(config.filter("output ").size()));
    QStringList command{QStringLiteral("sway"), QStringLiteral("-c"), conf};
    if (geteuid() == 0) {
        if (chown(qPrintable(m_runtime.path()), nobody, nobody) != 0) {
            m_error = QStringLiteral("cannot hand the runtime folder to nobody");
            return;
        }
        command = QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"),
                              QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups")} +
                  command;
    }
    m_sway.setProcessEnvironment(environment);
    m_sway.setProcessChannelMode(QProcess::MergedChannels);
    m_sway.setStandardOutputFile(m_runtime.filePath(QStringLiteral("sway.log")));
    m_sway.start(command.takeFirst(), command);

    const QDir runtime(m_runtime.path());
    QString socket;
    QString ipc;
    const bool started = QTest::qWaitFor(
        [&] {
            const QStringList sockets = runtime.entryList({QStringLiteral("wayland-*")}, QDir::System);
            const QStringList ipcs = runtime.entryList({QStringLiteral("sway-ipc.*")}, QDir::System);
            socket = sockets.filter(QRegularExpression(QStringLiteral("^wayland-\\d+$"))).value(0);
            ipc = ipcs.value(0);
            return !socket.isEmpty() && !ipc.isEmpty();
        },
        startSeconds * 1000);
    if (!started) {
        QFile log(m_runtime.filePath(QStringLiteral("sway.log")));
        if (!log.open(QIODevice::ReadOnly))
            qWarning() << "no sway log";
        m_error = QStringLiteral("sway did not start: ") + QString::fromUtf8(log.readAll().right(2000));
        return;
    }
    const QHash<QByteArray, QByteArray> wanted{{"XDG_RUNTIME_DIR", m_runtime.path().toUtf8()},
                                               // A path, so that clients find it whatever runtime
                                               // folder a test gives them.
                                               {"WAYLAND_DISPLAY", runtime.filePath(socket).toUtf8()},
                                               {"SWAYSOCK", runtime.filePath(ipc).toUtf8()},
                                               {"DISPLAY", {}}};
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        m_saved.insert(it.key(), qEnvironmentVariableIsSet(it.key().constData())
                                     ? std::optional(qgetenv(it.key().constData()))
                                     : std::nullopt);
        if (it.value().isEmpty())
            qunsetenv(it.key().constData());
        else
            qputenv(it.key().constData(), it.value());
    }
}

SwaySession::~SwaySession() {
    stopClients();
    m_sway.terminate();
    if (!m_sway.waitForFinished(3000))
        m_sway.kill();
    m_sway.waitForFinished(3000);
    for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it) {
        if (it.value())
            qputenv(it.key().constData(), *it.value());
        else
            qunsetenv(it.key().constData());
    }
}

std::optional<QByteArray> SwaySession::message(const QStringList& arguments) {
    QProcess swaymsg;
    swaymsg.start(QStringLiteral("swaymsg"), arguments);
    if (!swaymsg.waitForFinished(10000) || swaymsg.exitCode() != 0)
        return std::nullopt;
    return swaymsg.readAllStandardOutput();
}

QImage SwaySession::screenshot(const QString& output) {
    const QString path = m_runtime.filePath(output + QStringLiteral(".png"));
    QProcess grim;
    grim.start(QStringLiteral("grim"), {QStringLiteral("-o"), output, path});
    if (!grim.waitForFinished(10000) || grim.exitCode() != 0)
        return {};
    QImage image(path);
    if (const QByteArray keep = qgetenv("LUMIVALE_SCREENSHOT_DIR"); !keep.isEmpty())
        image.save(QString::fromUtf8(keep) + QLatin1Char('/') + QFileInfo(path).fileName());
    return image.convertToFormat(QImage::Format_RGB32);
}

bool SwaySession::startClient(const QString& program, const QStringList& arguments) {
    auto* client = new QProcess;
    client->setProcessChannelMode(QProcess::MergedChannels);
    client->setStandardOutputFile(m_runtime.filePath(QStringLiteral("client.log")), QIODevice::Append);
    client->start(program, arguments);
    m_clients.append(client);
    return client->waitForStarted(10000);
}

void SwaySession::stopClients() {
    for (QProcess* client : std::exchange(m_clients, {})) {
        client->terminate();
        if (!client->waitForFinished(3000))
            client->kill();
        client->waitForFinished(3000);
        delete client;
    }
}
