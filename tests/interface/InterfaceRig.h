// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fakes/EngineRig.h"
#include "interface/LoginItemControl.h"

#include <QList>
#include <QString>

// A login item that answers from memory and can refuse changes.
class FakeLoginItem : public LoginItemControl {
public:
    [[nodiscard]] bool isEnabled() const override { return enabled; }
    bool setEnabled(bool value) override {
        ++calls;
        if (refuse)
            return false;
        enabled = value;
        return true;
    }

    bool enabled = false;
    bool refuse = false;
    int calls = 0;
};

// The engine rig with the cached catalog and the imported list written as whole records.
class InterfaceRig : public EngineRig {
public:
    // Before build().
    void writeCatalog(const QList<Wallpaper>& wallpapers) const;
    // Before build(). Each record's video is a file made in the library's Imported folder.
    void writeImported(QList<Wallpaper> wallpapers) const;

    [[nodiscard]] static Wallpaper record(const QString& id, const QString& category);
    [[nodiscard]] static Wallpaper imported(const QString& id);
    [[nodiscard]] QString importedFolder() const { return home.libraryRoot() + QStringLiteral("/Imported"); }

    FakeLoginItem loginItem;
};
