#pragma once
// What the timed downloads fetch while the connection is metered, as ddbMeteredConnection
// says: everything, only small files (cloud maps of at most 1024x512 pixels, earthquake and
// satellite lists), or nothing until the connection is not metered. Downloads the user asks
// for with a button are never held.
#include "scheduler/NetworkGate.h"

#include <QSet>
#include <QString>
#include <functional>

namespace gw {

class Clock;
class LogSink;
class SessionNetwork;
class SettingsAccess;

enum class MeteredChoice { AsUsual, SmallFiles, Nothing };

// The choice from the control's text; a text it does not know is the default, small files.
MeteredChoice meteredChoice(const QString& text);
// A cloud map whose address names its size ("1024x512") no larger than 1024 by 512.
bool isSmallCloudMap(const QString& url);
// An earthquake list or a satellite list (a ".tle" destination).
bool isSmallListItem(const QString& source, const QString& destination);

class MeteredDownloads : public NetworkGate
{
public:
    MeteredDownloads(
        const SessionNetwork& network, const SettingsAccess& settings, LogSink& transferLog, const Clock& clock);

    double downloadsHeldFor(double bootNow) const override;
    bool waitsForUnmetered(Download download, bool due) override;
    // One row of the list in the timed list job.
    bool rowWaits(const QString& source, const QString& destination);

    // Seam: whether the connection is metered (default: the session network's word).
    void setMeteredQuery(std::function<bool()> query) { m_metered = std::move(query); }

private:
    // Whether `item` waits; the first time in a metered spell, one line says so.
    bool waits(const QString& item, bool small);

    const SessionNetwork& m_network;
    const SettingsAccess& m_settings;
    LogSink& m_log;
    const Clock& m_clock;
    std::function<bool()> m_metered;
    QSet<QString> m_logged; // items whose wait was logged, while the connection stays metered
};

} // namespace gw
