// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>

// Whether a surface can be seen, as its frame callbacks tell: a compositor answers them only for
// surfaces it shows (sway stops for a surface under a fullscreen window). A callback left unanswered
// for `lateAfter` means hidden, an answer means seen again. While nothing is drawn, a probe (a
// callback on an empty commit) is due every `probeEvery`, so that the answer keeps coming.
class FrameVisibility {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;
    static constexpr std::chrono::milliseconds lateAfter{1000};
    static constexpr std::chrono::milliseconds probeEvery{1000};

    // A frame callback was asked for (with a new frame or a probe).
    void requested(TimePoint now);
    // The compositor answered it.
    void answered(TimePoint now);
    // Back to the start, for a surface made anew.
    void reset();

    [[nodiscard]] bool pending() const { return m_pendingSince.has_value(); }
    // Seen until a callback is late; a surface that never asked counts as seen.
    [[nodiscard]] bool visible(TimePoint now) const;
    [[nodiscard]] bool probeDue(TimePoint now) const;
    // When visible() or probeDue() next changes if nothing else happens.
    [[nodiscard]] TimePoint nextChange() const;

private:
    std::optional<TimePoint> m_pendingSince;
    TimePoint m_lastActivity{};
};
