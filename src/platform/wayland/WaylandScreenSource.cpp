// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandScreenSource.h"

#include "platform/display/DisplayIdentity.h"
#include "platform/display/SysfsEdid.h"
#include "platform/wayland/WaylandConnection.h"

WaylandScreenSource::WaylandScreenSource(WaylandConnection& connection, QString drmRoot, QObject* parent)
    : ScreenSource(parent), m_connection(connection),
      m_drmRoot(drmRoot.isEmpty() ? QString::fromLatin1(SysfsEdid::drmRoot) : std::move(drmRoot)) {
    m_coalesce.setSingleShot(true);
    m_coalesce.setInterval(0);
    connect(&m_coalesce, &QTimer::timeout, this, &WaylandScreenSource::notify);
    connect(&connection, &WaylandConnection::outputsChanged, &m_coalesce, qOverload<>(&QTimer::start));
    m_announced = screens();
}

QList<ScreenInfo> WaylandScreenSource::screens() const {
    const QList<const WaylandOutput*> outputs = m_connection.outputs();
    QList<DisplayIdentity::Output> displays;
    for (const WaylandOutput* output : outputs)
        displays.append({Edid::parse(SysfsEdid::read(output->name, m_drmRoot)), output->name});
    const QList<std::optional<QString>> uuids = DisplayIdentity::uuids(displays);

    QList<ScreenInfo> result;
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        const WaylandOutput& output = *outputs.at(i);
        const std::optional<Edid>& edid = displays.at(i).edid;
        const QRect frame = output.logicalFrame();
        result.append({.uuid = uuids.at(i),
                       .localizedName = edid && !edid->modelName.isEmpty() ? edid->modelName : output.name,
                       .frame = frame,
                       .visibleFrame = frame,
                       .platformName = output.name});
    }
    return result;
}

void WaylandScreenSource::notify() {
    QList<ScreenInfo> now = screens();
    if (now == m_announced)
        return;
    m_announced = std::move(now);
    Q_EMIT screensChanged();
}
