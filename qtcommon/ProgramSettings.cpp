#include "qtcommon/ProgramSettings.h"

#include <QCoreApplication>

namespace jvo::qt {

namespace {

const QString kRoutes = QStringLiteral("connect/routes");

QString KindName(Route::Kind kind) {
    switch (kind) {
        case Route::COM:
            return QStringLiteral("com");
        case Route::DEVICE:
            return QStringLiteral("device");
        case Route::PROXY:
            return QStringLiteral("proxy");
    }
    return {};
}

std::string Text(const QSettings& s, const char* key) {
    return s.value(QLatin1String(key)).toString().toStdString();
}

}  // namespace

QSettings ProgramSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("jvo"),
                     QCoreApplication::applicationName());
}

std::vector<Route> SettingsRouteStore::Load() {
    QSettings s = ProgramSettings();
    std::vector<Route> routes;
    const int n = s.beginReadArray(kRoutes);
    for (int i = 0; i < n; ++i) {
        s.setArrayIndex(i);
        const QString kind = s.value(QStringLiteral("kind")).toString();
        Route r;
        if (kind == KindName(Route::COM)) {
            r = Route::Com(s.value(QStringLiteral("port")).toInt());
        } else if (kind == KindName(Route::DEVICE)) {
            r = Route::Device(Text(s, "device"));
        } else if (kind == KindName(Route::PROXY)) {
            r = Route::Proxy(Text(s, "host"),
                             {Text(s, "tlsCa"), Text(s, "tlsCert"), Text(s, "tlsKey")});
        } else {
            continue;  // written by a later version, perhaps
        }
        routes.push_back(std::move(r));
    }
    s.endArray();
    return routes;
}

void SettingsRouteStore::Save(const std::vector<Route>& routes) {
    if (Load() == routes) return;  // nothing written that is there already
    QSettings s = ProgramSettings();
    s.remove(kRoutes);
    s.beginWriteArray(kRoutes, static_cast<int>(routes.size()));
    for (int i = 0; i < static_cast<int>(routes.size()); ++i) {
        const Route& r = routes[static_cast<size_t>(i)];
        s.setArrayIndex(i);
        s.setValue(QStringLiteral("kind"), KindName(r.m_Kind));
        if (r.m_Kind == Route::COM) s.setValue(QStringLiteral("port"), r.m_Port);
        if (r.m_Kind == Route::DEVICE)
            s.setValue(QStringLiteral("device"), QString::fromStdString(r.m_Device));
        if (r.m_Kind == Route::PROXY) {
            s.setValue(QStringLiteral("host"), QString::fromStdString(r.m_Host));
            s.setValue(QStringLiteral("tlsCa"), QString::fromStdString(r.m_Tls.ca));
            s.setValue(QStringLiteral("tlsCert"), QString::fromStdString(r.m_Tls.cert));
            s.setValue(QStringLiteral("tlsKey"), QString::fromStdString(r.m_Tls.key));
        }
    }
    s.endArray();
    s.sync();
}

}  // namespace jvo::qt
