#pragma once
// Timed downloads of the built-in sources are spread over the first minutes after their due
// moment, by an offset of this installation's own: a room of desktops that were fed together
// does not come back to a source in the same second. The offset is fixed for a given due
// moment, so "--status" shows the moment the download really goes out.
#include "settings/IniFile.h"
#include "shared/DateTime.h"

#include <QString>

#include <functional>

namespace gw {

class StartSpread
{
public:
    static inline const QString Section = QStringLiteral("Download Start Spread");
    static inline const QString SeedKey = QStringLiteral("Seed");
    // Hidden setting, in the "Debug" section: the width of the spread in seconds (0: none).
    static inline const QString WindowKey = QStringLiteral("Download start spread");
    static constexpr int DefaultWindowSeconds = 180;

    explicit StartSpread(std::function<QString()> settingsFile);

    // The offset in days, within [0, windowDays), for the due moment `due` on the installation
    // of `seed`: the same every time for the same two, and spread evenly over the seeds.
    static double offsetDays(quint64 seed, TDateTime due, double windowDays);

    // The moment a timed download of `url` due at `due` goes out: `due` itself for an address
    // that is no built-in source, for no due moment (0), or while no seed is kept.
    TDateTime spreadDue(const QString& url, TDateTime due) const;

    // Makes and keeps this installation's seed unless one is kept; a file that cannot be
    // written keeps none (the downloads then go out at their due moments).
    void ensureSeed();

private:
    bool seed(quint64* value) const;
    double windowDays() const;

    std::function<QString()> m_settingsFile;
};

} // namespace gw
