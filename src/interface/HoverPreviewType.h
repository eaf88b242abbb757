// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/mpv/HoverPreview.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

// A card's preview clip, drawn by the mpv adapter, as this module's HoverPreview.
struct HoverPreviewType {
    Q_GADGET
    QML_FOREIGN(HoverPreview)
    QML_NAMED_ELEMENT(HoverPreview)
};
