// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <optional>

// A headless sway for tests: its own runtime folder and Wayland socket, outputs as the config lines
// say, no background client. sway refuses to run as root, so as root it runs as nobody, and the test
// (still root) connects to it. It points WAYLAND_DISPLAY, XDG_RUNTIME_DIR and SWAYSOCK at itself and
// unsets DISPLAY while it lives; everything it started stops with it.
class SwaySession {
public:
    // Lines of sway's config, e.g. "output HEADLESS-1 resolution 1280x720 position 0 0".
    explicit SwaySession(const QStringList& config);
    ~SwaySession();
    SwaySession(const SwaySession&) = delete;
    SwaySession& operator=(const SwaySession&) = delete;

    [[nodiscard]] bool isReady() const { return m_error.isEmpty(); }
    // Why sway did not start, with the end of its log.
    [[nodiscard]] const QString& error() const { return m_error; }

    // swaymsg with the arguments; its output, or nothing when it failed.
    std::optional<QByteArray> message(const QStringList& arguments);
    // grim's picture of one output at its full pixel size; a null image when grim failed.
    [[nodiscard]] QImage screenshot(const QString& output);
    // Starts a Wayland client that keeps running until stopped or the session ends.
    bool startClient(const QString& program, const QStringList& arguments);
    void stopClients();

private:
    QTemporaryDir m_runtime;
    QProcess m_sway;
    QList<QProcess*> m_clients;
    QString m_error;
    QHash<QByteArray, std::optional<QByteArray>> m_saved;
};
