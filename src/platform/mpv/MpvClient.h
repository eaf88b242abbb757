// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/mpv/MpvHandles.h"
#include "platform/mpv/MpvNames.h"

#include <QString>
#include <initializer_list>
#include <span>

// The one way this program makes and talks to a libmpv core. Failures are logged with mpv's own
// error text and the file concerned.
namespace MpvClient {

// A started core with MpvNames::coreOptions and then the given options set. Every event is muted
// except the wanted ones and the end of a file, which tells logEvent() a file mpv could not play.
// Nothing when libmpv refuses to start. Needs the C numeric locale (MpvLocale).
[[nodiscard]] MpvCore create(std::span<const MpvNames::Option> options,
                             std::initializer_list<mpv_event_id> wanted = {});

// Starts loading the file or URL, to play as soon as the core is not paused; false when mpv refuses
// at once.
bool load(mpv_handle* core, const QString& file);
// Runs a command without waiting for it.
void command(mpv_handle* core, std::initializer_list<const char*> arguments);
void setPaused(mpv_handle* core, bool paused);

// Logs an event of the core playing the file that says the file could not be played, and tells
// whether it was one.
bool logEvent(const mpv_event& event, const QString& file);

} // namespace MpvClient
