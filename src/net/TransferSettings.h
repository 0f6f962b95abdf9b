#pragma once
// What the download engine and the update dialog take from the settings for a transfer, and
// the success line both show: read in one place, so the two never drift apart.
#include "net/HttpClient.h"

#include <QByteArray>
#include <QString>

namespace gw {

class SettingsAccess;

struct ProxyReading
{
    ProxySettings proxy;
    QString portError; // empty, or why the port field was not used
};

// The proxy of the settings, starting from `previous`: "use Proxy" off gives no proxy at all;
// an empty field keeps the previous value. A port that is no number from 1 to 65535 keeps the
// previous port as well, and `portError` names the field's text. Whether that ends anything is
// the caller's choice: a timed download goes on, a check the user started reports it.
ProxyReading proxyFromSettings(const SettingsAccess& settings, const ProxySettings& previous);

// Whose identity a client shows: the downloads take agent and protocol version from the
// settings, the update check keeps the agent it was given.
enum class ClientRole { Downloads, UpdateCheck };

// Sets up `client` for its next request from the settings of this moment; returns the port
// error of the proxy reading.
QString setUpClient(HttpClient& client, const SettingsAccess& settings, ClientRole role);

// Sent with every transfer no cache on the way may answer with an old copy (all but those
// through the site's mirror, see DownloadEngine::Route).
QByteArray noCacheHeader();

// Seconds between two date-times as the success line counts them (0.001 for none).
double elapsedSeconds(double startDays, double endDays);
// " - Success: <bytes> byte in <sec> sec. (<rate> kb/s)"; no time at all counts as 1 ms.
QString successFigures(qint64 bytes, double seconds);

} // namespace gw
