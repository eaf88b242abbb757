// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/bus/CommandLine.h"

#include "engine/WallpaperRotation.h"
#include "library/WallpaperTarget.h"
#include "shell/ShellNames.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <utility>

namespace {
constexpr std::array<std::pair<QLatin1StringView, CommandLine::Action>, 10> flags{{
    {QLatin1StringView("--status"), CommandLine::Action::Status},
    {QLatin1StringView("--pause"), CommandLine::Action::Pause},
    {QLatin1StringView("--resume"), CommandLine::Action::Resume},
    {QLatin1StringView("--toggle-pause"), CommandLine::Action::TogglePause},
    {QLatin1StringView("--next"), CommandLine::Action::Next},
    {QLatin1StringView("--stop"), CommandLine::Action::Stop},
    {QLatin1StringView("--help"), CommandLine::Action::Help},
    {QLatin1StringView("-h"), CommandLine::Action::Help},
    {QLatin1StringView("--version"), CommandLine::Action::Version},
    {QLatin1StringView("--use"), CommandLine::Action::Use},
}};

// What QGuiApplication and QApplication take from a launch's arguments themselves (with a value, then
// without). A session manager restarts the application with -session.
constexpr std::array<QLatin1StringView, 12> qtOptionsWithValue{
    QLatin1StringView("-platform"),        QLatin1StringView("-platformpluginpath"),
    QLatin1StringView("-platformtheme"),   QLatin1StringView("-plugin"),
    QLatin1StringView("-qwindowgeometry"), QLatin1StringView("-qwindowicon"),
    QLatin1StringView("-qwindowtitle"),    QLatin1StringView("-display"),
    QLatin1StringView("-geometry"),        QLatin1StringView("-session"),
    QLatin1StringView("-style"),           QLatin1StringView("-stylesheet"),
};
constexpr std::array<QLatin1StringView, 4> qtFlags{
    QLatin1StringView("-reverse"),
    QLatin1StringView("-widgetcount"),
    QLatin1StringView("-nograb"),
    QLatin1StringView("-dograb"),
};

// How many arguments a Qt option takes up. Qt accepts its options with one dash or two, and as
// "-name=value"; 0 when the argument is not Qt's.
int qtOptionLength(const QString& argument) {
    QString name = argument.section(QLatin1Char('='), 0, 0);
    if (name.startsWith(QLatin1String("--")))
        name.remove(0, 1);
    const auto is = [&](QLatin1StringView option) { return option == name; };
    if (std::any_of(qtOptionsWithValue.cbegin(), qtOptionsWithValue.cend(), is))
        return argument.contains(QLatin1Char('=')) ? 1 : 2;
    return std::any_of(qtFlags.cbegin(), qtFlags.cend(), is) ? 1 : 0;
}
} // namespace

CommandLine CommandLine::parse(const QStringList& arguments) {
    CommandLine command;
    QStringList unknown;
    bool displayGiven = false;
    const auto setAction = [&](Action action) {
        if (command.action != Action::Launch && command.action != action)
            command.error = QStringLiteral("Give one command at a time.");
        command.action = action;
    };
    // "--name value" or "--name=value".
    const auto takeValue = [&](qsizetype& i, QLatin1StringView name, QString& into) {
        const QString& argument = arguments[i];
        if (argument.startsWith(name + QLatin1Char('='))) {
            into = argument.mid(name.size() + 1);
        } else if (i + 1 < arguments.size()) {
            into = arguments[++i];
        } else {
            command.error = QString(name) + QStringLiteral(" needs a value.");
        }
        if (into.isEmpty() && command.error.isEmpty())
            command.error = QString(name) + QStringLiteral(" needs a value.");
    };

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const QString name = argument.section(QLatin1Char('='), 0, 0);
        if (name == QLatin1String("--json")) {
            command.json = true;
        } else if (name == QLatin1String("--display")) {
            displayGiven = true;
            takeValue(i, QLatin1StringView("--display"), command.display);
        } else if (name == QLatin1String("--rotate")) {
            setAction(Action::Rotate);
            QString value;
            takeValue(i, QLatin1StringView("--rotate"), value);
            const std::optional<qint64> seconds = value == QLatin1String("off")
                                                      ? std::optional<qint64>(0)
                                                      : WallpaperRotation::parseDuration(value);
            if (!seconds || !WallpaperRotation::isValidInterval(*seconds)) {
                if (command.error.isEmpty())
                    command.error = QStringLiteral("--rotate takes off or a duration from 10s to 366d, "
                                                   "such as 90s, 5m, 2h or 1d.");
            } else {
                command.rotateSeconds = *seconds;
            }
        } else if (argument == QLatin1String("--shuffle") || argument == QLatin1String("--in-order")) {
            if (!command.rotateOrder.isEmpty())
                command.error = QStringLiteral("Give --shuffle or --in-order once.");
            command.rotateOrder = argument == QLatin1String("--shuffle")
                                      ? QString(ShellNames::rotationShuffled)
                                      : QString(ShellNames::rotationInOrder);
        } else if (name == QLatin1String("--use")) {
            setAction(Action::Use);
            takeValue(i, QLatin1StringView("--use"), command.wallpaperId);
        } else if (const auto flag = std::find_if(flags.cbegin(), flags.cend(),
                                                  [&](const auto& entry) { return entry.first == argument; });
                   flag != flags.cend()) {
            setAction(flag->second);
        } else if (const int length = qtOptionLength(argument); length > 0) {
            i += length - 1;
        } else {
            unknown.append(argument);
        }
    }

    if (!command.error.isEmpty())
        return command;
    if (displayGiven && command.action != Action::Use)
        command.error = QStringLiteral("--display goes with --use.");
    else if (!command.rotateOrder.isEmpty() && command.action != Action::Rotate)
        command.error = QStringLiteral("--shuffle and --in-order go with --rotate.");
    else if (command.json && !command.isControl())
        command.error = QStringLiteral("--json goes with a command.");
    else if (!unknown.isEmpty())
        command.error = QStringLiteral("Unknown argument: ") + unknown.first();
    if (command.action == Action::Use && command.display.isEmpty())
        command.display = QString(WallpaperTarget::allDisplays);
    return command;
}

bool CommandLine::isControl() const {
    return action != Action::Launch && action != Action::Help && action != Action::Version;
}

QString CommandLine::usage() {
    return QCoreApplication::translate(
        "CommandLine", "Usage: lumivale [command]\n"
                       "\n"
                       "Without a command, starts Lumivale or brings the running one to the front.\n"
                       "Commands for the running Lumivale:\n"
                       "  --status               the status line, the assignments and each display\n"
                       "  --pause                pause playback\n"
                       "  --resume               resume playback\n"
                       "  --toggle-pause         pause or resume, as the status menu does\n"
                       "  --next                 the next downloaded wallpaper on every display\n"
                       "  --stop                 take the wallpaper off every display\n"
                       "  --use ID               put a wallpaper on every display, downloading it first\n"
                       "    --display KEY        on one display instead (keys as --status shows them)\n"
                       "  --rotate DURATION      change the wallpaper after that much playing time\n"
                       "                         (90s, 5m, 2h, 1d; 10s or more); off to stop\n"
                       "    --shuffle            in a shuffled order\n"
                       "    --in-order           in the library's order\n"
                       "  --json                 print the state as JSON after the command\n"
                       "  --help, --version\n");
}
