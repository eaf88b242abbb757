// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// What one run of the lumivale binary is asked to do: start (or reopen) the application, or send one
// command to the running instance.
struct CommandLine {
    enum class Action { Launch, Help, Version, Status, Pause, Resume, TogglePause, Next, Stop, Use, Rotate };

    Action action = Action::Launch;
    QString wallpaperId;
    QString display;
    bool json = false;
    // --rotate: the interval in seconds, 0 for off; the order as ShellNames spells it, empty to keep it.
    qint64 rotateSeconds = 0;
    QString rotateOrder;
    // Set when the arguments cannot be understood; the run prints it with the usage and fails.
    QString error;

    // The arguments after the program name. Qt's own options are left to Qt; anything else unknown is
    // an error.
    [[nodiscard]] static CommandLine parse(const QStringList& arguments);
    [[nodiscard]] static QString usage();

    // Whether the run talks to a running instance instead of becoming one.
    [[nodiscard]] bool isControl() const;
};
