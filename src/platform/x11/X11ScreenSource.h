// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ScreenSource.h"
#include "platform/x11/X11Atoms.h"
#include "platform/x11/X11Connection.h"

#include <QAbstractNativeEventFilter>
#include <QTimer>
#include <optional>

class QScreen;

// The QScreens, primary first, with display keys from their EDIDs and visible frames without the
// space that panels reserve (Qt 6.4's availableGeometry is wrong with several monitors on X11).
// Screen changes and work area changes reach the engine as one screensChanged per burst.
class X11ScreenSource : public ScreenSource, private QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit X11ScreenSource(QObject* parent = nullptr);
    ~X11ScreenSource() override;
    X11ScreenSource(const X11ScreenSource&) = delete;
    X11ScreenSource& operator=(const X11ScreenSource&) = delete;

    [[nodiscard]] QList<ScreenInfo> screens() const override;

private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    void watch(QScreen* screen);
    // Drops what is known; `screensMoved` when Qt's screens changed, which the engine must hear
    // about even if the list reads the same (its windows may have been moved to another screen).
    void invalidate(bool screensMoved);
    void notify();
    [[nodiscard]] QList<ScreenInfo> read() const;

    struct Output {
        QString name;
        QByteArray edid;
    };
    // The RandR output that shows each screen (by output name, else by the first output of the
    // RandR monitor of that name) with its raw EDID.
    [[nodiscard]] QList<Output> readOutputs(const QStringList& screenNames) const;
    // The usable part of each monitor, in root window pixels.
    [[nodiscard]] QList<QRect> readWorkAreas(const QList<QRect>& monitors) const;

    std::optional<X11Connection> m_x;
    X11Atoms m_atoms;
    bool m_hasRandr = false;
    bool m_hasMonitors = false;
    QTimer m_coalesce;
    bool m_screensMoved = false;
    mutable std::optional<QList<ScreenInfo>> m_cache;
    QList<ScreenInfo> m_announced;
    // _GTK_WORKAREAS_D<current desktop>, watched besides the table's root properties.
    mutable xcb_atom_t m_workareasAtom = XCB_ATOM_NONE;
    mutable uint32_t m_workareasDesktop = allDesktops;
};
