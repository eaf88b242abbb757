// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/bus/ControlClient.h"

#include "controlproxy.h"
#include "shell/ShellNames.h"
#include "shell/ShellTexts.h"
#include "shell/bus/StatusReport.h"
#include "shell/bus/TerminalText.h"

#include <QDBusConnectionInterface>
#include <QTextStream>
#include <optional>

namespace ControlClient {

namespace {
// The call that carries out the action; none for the status alone.
std::optional<QDBusPendingReply<>> send(ControlProxy& control, const CommandLine& command) {
    switch (command.action) {
    case CommandLine::Action::Pause:
        return control.Pause();
    case CommandLine::Action::Resume:
        return control.Resume();
    case CommandLine::Action::TogglePause:
        return control.TogglePause();
    case CommandLine::Action::Next:
        return control.Next();
    case CommandLine::Action::Stop:
        return control.Stop();
    case CommandLine::Action::Use:
        control.setTimeout(useTimeoutMs);
        return control.Use(command.wallpaperId, command.display);
    case CommandLine::Action::Rotate:
        return control.SetRotation(qlonglong(command.rotateSeconds), command.rotateOrder);
    default:
        return std::nullopt;
    }
}
} // namespace

int run(const CommandLine& command, QDBusConnection bus, QTextStream& out, QTextStream& err) {
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(QString(ShellNames::busName))) {
        err << ShellTexts::notRunning.toString() << Qt::endl;
        return 1;
    }

    ControlProxy control(QString(ShellNames::busName), QString(ShellNames::objectPath), bus);
    if (std::optional<QDBusPendingReply<>> reply = send(control, command)) {
        reply->waitForFinished();
        if (reply->isError()) {
            err << TerminalText::printable(reply->error().message()) << Qt::endl;
            return 1;
        }
        control.setTimeout(-1);
    }

    QDBusPendingReply<QVariantMap> status = control.Status();
    status.waitForFinished();
    if (status.isError()) {
        err << TerminalText::printable(status.error().message()) << Qt::endl;
        return 1;
    }
    const QVariantMap report = StatusReport::fromBus(status.argumentAt(0)).toMap();
    if (command.json)
        out << TerminalText::printableJson(QString::fromUtf8(StatusReport::toJson(report)));
    else if (command.action == CommandLine::Action::Status)
        out << TerminalText::printable(StatusReport::toText(report));
    else if (command.action == CommandLine::Action::Rotate)
        out << TerminalText::printable(StatusReport::rotationText(report)) << '\n';
    else
        out << TerminalText::printable(report.value(QString(ShellNames::statusLine)).toString()) << '\n';
    out.flush();
    return 0;
}

} // namespace ControlClient
