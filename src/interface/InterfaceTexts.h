#pragma once

#include <QStringView>

// Texts of the library window that reach the user, spelled once. Texts from data (titles, categories,
// screen names, the status line, the problem sentence) are shown as they are.
namespace InterfaceTexts {
inline constexpr QStringView allTab{u"All"};
inline constexpr QStringView yourVideosTab{u"Your videos"};
inline constexpr QStringView downloadedTab{u"Downloaded"};

inline constexpr QStringView allDisplays{u"All displays"};
inline constexpr QStringView display{u"Display"};

inline constexpr QStringView setOnPrefix{u"Set on "};
inline constexpr QStringView remove{u"Remove"};
inline constexpr QStringView deleteDownload{u"Delete download"};
inline constexpr QStringView cancelDownload{u"Cancel download"};

inline constexpr QStringView addDialogTitle{u"Add video"};
inline constexpr QStringView addDialogConfirm{u"Add"};
inline constexpr QStringView videosFilter{u"Videos"};

// The support address is ours to choose; the link's subject is fixed.
inline constexpr QStringView supportUrl{u"mailto:support@lumivale.org?subject=Lumivale"};
} // namespace InterfaceTexts
