// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/AtomicFile.h"

#include "core/CoreLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

bool AtomicFile::write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    const bool written =
        file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!written) {
        qCWarning(lcCore).noquote() << "Could not save" << path
                                    << "(the old file stays):" << file.errorString();
        file.cancelWriting();
    }
    return written;
}

QString AtomicFile::moveAside(const QString& path) {
    if (!QFileInfo::exists(path))
        return {};
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = path + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = path + QStringLiteral(".corrupt-") + stamp + QLatin1Char('-') + QString::number(n);
    // A file we cannot rename may still be readable: keep a copy at least.
    if (QFile::rename(path, target) || QFile::copy(path, target)) {
        qCWarning(lcCore).noquote() << "Could not read" << path << "- kept it as" << target;
        return target;
    }
    qCWarning(lcCore).noquote() << "Could not read" << path << "nor keep a copy of it";
    return {};
}
