// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/Wallpaper.h"

#include <QHashFunctions>

namespace {
template <typename T>
void mixOptional(QtPrivate::QHashCombine& combine, size_t& seed, const std::optional<T>& field) {
    seed = combine(seed, field.has_value() ? 1 : 0);
    if (field)
        seed = combine(seed, *field);
}
} // namespace

size_t qHash(const Wallpaper& w, size_t seed) noexcept {
    QtPrivate::QHashCombine combine;
    seed = combine(seed, w.id);
    seed = combine(seed, w.title);
    seed = combine(seed, w.category);
    mixOptional(combine, seed, w.poster);
    mixOptional(combine, seed, w.preview);
    mixOptional(combine, seed, w.video);
    mixOptional(combine, seed, w.bytes);
    // Negative zero equals positive zero, so it must hash alike.
    std::optional<double> seconds = w.seconds;
    if (seconds && *seconds == 0.0)
        seconds = 0.0;
    mixOptional(combine, seed, seconds);
    mixOptional(combine, seed, w.resolution);
    mixOptional(combine, seed, w.isImported);
    return seed;
}
