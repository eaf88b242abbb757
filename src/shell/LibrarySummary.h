#pragma once

#include <QObject>
#include <QStringList>

// What the placeholder library view shows until the interface's view is built in: the store's counts and
// the engine's status line, read from the shared instances.
class LibrarySummary : public QObject {
    Q_OBJECT
    Q_PROPERTY(int catalogCount READ catalogCount NOTIFY changed)
    Q_PROPERTY(int importedCount READ importedCount NOTIFY changed)
    Q_PROPERTY(int downloadedCount READ downloadedCount NOTIFY changed)
    Q_PROPERTY(QStringList categories READ categories NOTIFY changed)
    Q_PROPERTY(bool loading READ loading NOTIFY changed)
    Q_PROPERTY(bool offline READ offline NOTIFY changed)
    Q_PROPERTY(QString statusLine READ statusLine NOTIFY changed)

public:
    explicit LibrarySummary(QObject* parent = nullptr);

    [[nodiscard]] int catalogCount() const;
    [[nodiscard]] int importedCount() const;
    [[nodiscard]] int downloadedCount() const;
    [[nodiscard]] QStringList categories() const;
    [[nodiscard]] bool loading() const;
    [[nodiscard]] bool offline() const;
    [[nodiscard]] QString statusLine() const;

Q_SIGNALS:
    void changed();
};
