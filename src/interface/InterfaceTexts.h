// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/UiText.h"

#include <QStringView>

// Texts of the library window that reach the user, spelled once. Texts from data (titles, categories,
// screen names, the status line, the problem sentence) are shown as they are.
namespace InterfaceTexts {
inline constexpr UiText allTab{"InterfaceTexts", QT_TRANSLATE_NOOP("InterfaceTexts", "All")};
inline constexpr UiText yourVideosTab{"InterfaceTexts", QT_TRANSLATE_NOOP("InterfaceTexts", "Your videos")};
inline constexpr UiText downloadedTab{"InterfaceTexts", QT_TRANSLATE_NOOP("InterfaceTexts", "Downloaded")};

inline constexpr UiText allDisplays{"InterfaceTexts", QT_TRANSLATE_NOOP("InterfaceTexts", "All displays")};
inline constexpr UiText display{"InterfaceTexts", QT_TRANSLATE_NOOP("InterfaceTexts", "Display")};

inline constexpr UiText setOnPrefix{"InterfaceTexts", QT_TRANSLATE_NOOP("InterfaceTexts", "Set on ")};
inline constexpr UiText remove{"InterfaceTexts", QT_TRANSLATE_NOOP("InterfaceTexts", "Remove")};
inline constexpr UiText deleteDownload{"InterfaceTexts",
                                       QT_TRANSLATE_NOOP("InterfaceTexts", "Delete download")};
inline constexpr UiText cancelDownload{"InterfaceTexts",
                                       QT_TRANSLATE_NOOP("InterfaceTexts", "Cancel download")};

inline constexpr UiText addDialogTitle{"InterfaceTexts", QT_TRANSLATE_NOOP("InterfaceTexts", "Add video")};
inline constexpr UiText addDialogConfirm{"InterfaceTexts", QT_TRANSLATE_NOOP("InterfaceTexts", "Add")};
inline constexpr UiText videosFilter{"InterfaceTexts", QT_TRANSLATE_NOOP("InterfaceTexts", "Videos")};

// The support address is ours to choose; the link's subject is fixed.
inline constexpr QStringView supportUrl{u"mailto:support@lumivale.org?subject=Lumivale"};
} // namespace InterfaceTexts
