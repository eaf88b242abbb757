// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mpv/MpvClient.h"

#include "platform/mpv/MpvLog.h"

#include <QVarLengthArray>
#include <clocale>

namespace {
bool keepsEvent(int id, std::initializer_list<mpv_event_id> wanted) {
    if (id == MPV_EVENT_END_FILE)
        return true;
    for (const mpv_event_id kept : wanted) {
        if (kept == id)
            return true;
    }
    return false;
}
} // namespace

MpvCore MpvClient::create(std::span<const MpvNames::Option> options,
                          std::initializer_list<mpv_event_id> wanted) {
    MpvCore core(mpv_create());
    if (!core) {
        const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
        qCWarning(lcMpv) << "libmpv could not make a core; the numeric locale is"
                         << (numeric ? numeric : "unset") << "where libmpv needs \"C\"";
        return {};
    }
    mpv_handle* handle = core.get();
    // An option this libmpv build lacks (the scripting ones without Lua) is simply not needed.
    for (const MpvNames::Option& option : MpvNames::coreOptions)
        mpv_set_option_string(handle, option.name, option.value);
    for (const MpvNames::Option& option : options)
        mpv_set_option_string(handle, option.name, option.value);
    if (const int error = mpv_initialize(handle); error < 0) {
        qCWarning(lcMpv) << "libmpv did not start:" << mpv_error_string(error);
        return {};
    }
    // Every event would be a wakeup, some of them at every loop of the file.
    for (int id = MPV_EVENT_SHUTDOWN; id <= MPV_EVENT_HOOK; ++id) {
        if (!keepsEvent(id, wanted))
            mpv_request_event(handle, mpv_event_id(id), 0);
    }
    return core;
}

bool MpvClient::load(mpv_handle* core, const QString& file) {
    const QByteArray path = file.toUtf8();
    const char* arguments[] = {MpvNames::loadfile, path.constData(), nullptr};
    const int error = mpv_command_async(core, 0, arguments);
    if (error < 0)
        qCWarning(lcMpv).noquote() << "libmpv refused to load" << file << "-" << mpv_error_string(error);
    return error >= 0;
}

void MpvClient::command(mpv_handle* core, std::initializer_list<const char*> arguments) {
    QVarLengthArray<const char*, 4> list(arguments.begin(), arguments.end());
    list.append(nullptr);
    if (const int error = mpv_command_async(core, 0, list.data()); error < 0)
        qCWarning(lcMpv) << "libmpv refused" << *arguments.begin() << "-" << mpv_error_string(error);
}

void MpvClient::setPaused(mpv_handle* core, bool paused) {
    int flag = paused ? 1 : 0;
    mpv_set_property_async(core, 0, MpvNames::pause, MPV_FORMAT_FLAG, &flag);
}

bool MpvClient::logEvent(const mpv_event& event, const QString& file) {
    if (event.event_id != MPV_EVENT_END_FILE)
        return false;
    const auto* end = static_cast<const mpv_event_end_file*>(event.data);
    if (end->reason != MPV_END_FILE_REASON_ERROR)
        return false;
    qCWarning(lcMpv).noquote() << "libmpv could not play" << file << "-" << mpv_error_string(end->error);
    return true;
}
