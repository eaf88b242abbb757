#include "shell/ControlClient.h"

#include "shell/ShellNames.h"
#include "shell/ShellTexts.h"
#include "shell/StatusReport.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTextStream>

namespace ControlClient {

namespace {
QDBusMessage call(QDBusConnection& bus, const QString& method, const QVariantList& arguments = {},
                  int timeoutMs = -1) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(QString(ShellNames::busName), QString(ShellNames::objectPath),
                                       QString(ShellNames::controlInterface), method);
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, timeoutMs);
}

QString methodFor(CommandLine::Action action) {
    switch (action) {
    case CommandLine::Action::Pause:
        return QStringLiteral("Pause");
    case CommandLine::Action::Resume:
        return QStringLiteral("Resume");
    case CommandLine::Action::TogglePause:
        return QStringLiteral("TogglePause");
    case CommandLine::Action::Next:
        return QStringLiteral("Next");
    case CommandLine::Action::Stop:
        return QStringLiteral("Stop");
    case CommandLine::Action::Use:
        return QStringLiteral("Use");
    case CommandLine::Action::Rotate:
        return QStringLiteral("SetRotation");
    default:
        return {};
    }
}
} // namespace

int run(const CommandLine& command, QDBusConnection bus, QTextStream& out, QTextStream& err) {
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(QString(ShellNames::busName))) {
        err << ShellTexts::notRunning.toString() << Qt::endl;
        return 1;
    }

    if (const QString method = methodFor(command.action); !method.isEmpty()) {
        const bool use = command.action == CommandLine::Action::Use;
        QVariantList arguments;
        if (use)
            arguments = {command.wallpaperId, command.display};
        else if (command.action == CommandLine::Action::Rotate)
            arguments = {qlonglong(command.rotateSeconds), command.rotateOrder};
        const QDBusMessage reply = call(bus, method, arguments, use ? useTimeoutMs : -1);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            err << reply.errorMessage() << Qt::endl;
            return 1;
        }
    }

    const QDBusMessage status = call(bus, QStringLiteral("Status"));
    if (status.type() != QDBusMessage::ReplyMessage || status.arguments().isEmpty()) {
        err << status.errorMessage() << Qt::endl;
        return 1;
    }
    const QVariantMap report = StatusReport::fromBus(status.arguments().constFirst()).toMap();
    if (command.json)
        out << QString::fromUtf8(StatusReport::toJson(report));
    else if (command.action == CommandLine::Action::Status)
        out << StatusReport::toText(report);
    else if (command.action == CommandLine::Action::Rotate)
        out << StatusReport::rotationText(report) << '\n';
    else
        out << report.value(QString(ShellNames::statusLine)).toString() << '\n';
    out.flush();
    return 0;
}

} // namespace ControlClient
