// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/FrameVisibility.h"

void FrameVisibility::requested(TimePoint now) {
    if (!m_pendingSince)
        m_pendingSince = now;
    m_lastActivity = now;
}

void FrameVisibility::answered(TimePoint now) {
    m_pendingSince.reset();
    m_lastActivity = now;
}

void FrameVisibility::reset() {
    m_pendingSince.reset();
    m_lastActivity = {};
}

bool FrameVisibility::visible(TimePoint now) const {
    return !m_pendingSince || now - *m_pendingSince < lateAfter;
}

bool FrameVisibility::probeDue(TimePoint now) const {
    return !m_pendingSince && now - m_lastActivity >= probeEvery;
}

FrameVisibility::TimePoint FrameVisibility::nextChange() const {
    return m_pendingSince ? *m_pendingSince + lateAfter : m_lastActivity + probeEvery;
}
