// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPointer>

// What a wallpaper factory made and handed to the engine, which owns it: the factory only lists the
// ones still alive, oldest first.
template <typename T> class MadeObjects {
public:
    void add(T* made) {
        m_made.removeAll(nullptr);
        m_made.append(made);
    }

    [[nodiscard]] QList<T*> live() const {
        QList<T*> objects;
        for (const QPointer<T>& pointer : m_made) {
            if (pointer)
                objects.append(pointer.data());
        }
        return objects;
    }

private:
    QList<QPointer<T>> m_made;
};
