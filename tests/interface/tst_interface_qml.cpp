// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/EngineRig.h"
#include "interface/InterfaceServices.h"
#include "interface/LoginItemControl.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>
#include <memory>

// A login item the QML tests can refuse and count.
class LoginProbe : public QObject, public LoginItemControl {
    Q_OBJECT
    Q_PROPERTY(bool enabled MEMBER m_enabled)
    Q_PROPERTY(bool refuse MEMBER m_refuse)
    Q_PROPERTY(int calls MEMBER m_calls)

public:
    [[nodiscard]] bool isEnabled() const override { return m_enabled; }
    bool setEnabled(bool enabled) override {
        ++m_calls;
        if (m_refuse)
            return false;
        m_enabled = enabled;
        return true;
    }

private:
    bool m_enabled = false;
    bool m_refuse = false;
    int m_calls = 0;
};

// A real store and engine over a temporary home with a catalog of three, two fake screens and a fake login
// item, installed for the views.
class Setup : public QObject {
    Q_OBJECT

    std::unique_ptr<EngineRig> m_rig;
    LoginProbe m_login;

public Q_SLOTS:
    void applicationAvailable() {
        m_rig = std::make_unique<EngineRig>();
        m_rig->setCatalog({"a", "b", "c"});
        m_rig->addVideo("a");
        m_rig->setScreens({"LEFT", "RIGHT"});
        m_rig->build();
    }
    void qmlEngineAvailable(QQmlEngine* engine) {
        InterfaceServices::install(*engine, {.store = *m_rig->store,
                                             .engine = *m_rig->engine,
                                             .screens = m_rig->fakes.screens,
                                             .loginItem = m_login});
        engine->rootContext()->setContextProperty("testEngine", m_rig->engine.get());
        engine->rootContext()->setContextProperty("testLogin", &m_login);
    }
    void cleanupTestCase() {
        InterfaceServices::uninstall();
        m_rig.reset();
    }
};

QUICK_TEST_MAIN_WITH_SETUP(interface, Setup)
#include "tst_interface_qml.moc"
