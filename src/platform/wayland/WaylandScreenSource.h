// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ScreenSource.h"

#include <QTimer>

class WaylandConnection;

// The compositor's outputs as screens: the logical geometry from xdg_output, display keys from the
// EDIDs the kernel exposes for their connectors (the same keys as under X11), and the whole output as
// the visible frame (no client sees the space other surfaces reserve). Changes arrive as one
// screensChanged per burst.
class WaylandScreenSource final : public ScreenSource {
    Q_OBJECT

public:
    // The connection must outlive the source; `drmRoot` is where the connectors' EDIDs are read.
    explicit WaylandScreenSource(WaylandConnection& connection, QString drmRoot = {},
                                 QObject* parent = nullptr);

    [[nodiscard]] QList<ScreenInfo> screens() const override;

private:
    void notify();

    WaylandConnection& m_connection;
    QString m_drmRoot;
    QTimer m_coalesce;
    QList<ScreenInfo> m_announced;
};
