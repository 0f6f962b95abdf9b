#include "net/TransferSettings.h"

#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/NumberText.h"

#include <cmath>

namespace gw {

ProxyReading proxyFromSettings(const SettingsAccess& settings, const ProxySettings& previous)
{
    ProxyReading reading;
    if (!settings.checked(ctl::cbUseProxy))
        return reading;
    ProxySettings& proxy = reading.proxy;
    proxy = previous;
    proxy.basicAuth = true;
    const QString host = settings.text(ctl::edtProxy).trimmed();
    if (!host.isEmpty())
        proxy.host = host;
    const QString port = settings.text(ctl::edtProxyPort);
    if (!port.trimmed().isEmpty()) {
        // The field admits digits only; anything else comes from a hand-edited settings file.
        bool ok = false;
        const int value = port.trimmed().toInt(&ok);
        if (!ok)
            reading.portError = QLatin1Char('\'') + port + QStringLiteral("' is not a valid integer value");
        else if (value < 1 || value > 65535)
            reading.portError = QLatin1Char('\'') + port + QStringLiteral("' is not a valid port number");
        else
            proxy.port = value;
    }
    const QString user = settings.text(ctl::edtProxyName);
    if (!user.isEmpty())
        proxy.user = user;
    const QString password = settings.text(ctl::edtProxyPasswd);
    if (!password.isEmpty())
        proxy.password = password;
    return reading;
}

QString setUpClient(HttpClient& client, const SettingsAccess& settings, ClientRole role)
{
    const ProxyReading reading = proxyFromSettings(settings, client.proxy());
    client.setProxy(reading.proxy);
    if (role == ClientRole::Downloads) {
        // An empty agent means the built-in one.
        const QString agent = settings.text(ctl::UserAgent);
        client.setUserAgent(agent.isEmpty() ? HttpClient::defaultUserAgent() : agent);
        client.setHttp10(settings.text(ctl::HttpProtocolVersion) == QLatin1String("HTTP/1.0"));
    }
    return reading.portError;
}

QByteArray noCacheHeader()
{
    return QByteArrayLiteral("Cache-Control: no-cache");
}

double elapsedSeconds(double startDays, double endDays)
{
    const double days = endDays - startDays;
    const qint64 ms = days > 0 ? std::llround(days * 86400000.0) : 0;
    return ms == 0 ? 0.001 : static_cast<double>(ms) / 1000.0;
}

QString successFigures(qint64 bytes, double seconds)
{
    if (seconds <= 0)
        seconds = 0.001;
    const auto roundedSeconds = static_cast<qint64>(std::nearbyint(seconds));
    const double rate = static_cast<double>(bytes) / 1024.0 / seconds;
    return QStringLiteral(" - Success: ") + QString::number(bytes) + QStringLiteral(" byte in ")
        + FormatInt(roundedSeconds, 3, QStringLiteral(" ")) + QStringLiteral(" sec. (")
        + FormatFloat(4, 2, QStringLiteral(" "), rate) + QStringLiteral(" kb/s)");
}

} // namespace gw
