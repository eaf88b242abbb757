#include "support/TempXdgHome.h"

#include <QDir>

TempXdgHome::TempXdgHome()
    : m_oldData(qgetenv("XDG_DATA_HOME")), m_oldConfig(qgetenv("XDG_CONFIG_HOME")),
      m_oldCache(qgetenv("XDG_CACHE_HOME")), m_hadData(qEnvironmentVariableIsSet("XDG_DATA_HOME")),
      m_hadConfig(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")),
      m_hadCache(qEnvironmentVariableIsSet("XDG_CACHE_HOME")) {
    QDir().mkpath(dataHome());
    QDir().mkpath(configHome());
    QDir().mkpath(cacheHome());
    qputenv("XDG_DATA_HOME", dataHome().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", configHome().toLocal8Bit());
    qputenv("XDG_CACHE_HOME", cacheHome().toLocal8Bit());
}

TempXdgHome::~TempXdgHome() {
    const auto restore = [](const char* name, bool had, const QByteArray& value) {
        if (had)
            qputenv(name, value);
        else
            qunsetenv(name);
    };
    restore("XDG_DATA_HOME", m_hadData, m_oldData);
    restore("XDG_CONFIG_HOME", m_hadConfig, m_oldConfig);
    restore("XDG_CACHE_HOME", m_hadCache, m_oldCache);
}
