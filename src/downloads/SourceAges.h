#pragma once
// How old the content of each downloaded address is, kept in the current settings file
// (section "Content Dates") whenever its server answers, and whether a built-in source has
// gone stale: its content older than three times its cadence and at least a day. A source
// whose content is stale is reported once a day (section "Stale Notices").
#include "downloads/AddressValues.h"
#include "shared/DateTime.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace gw {

class SourceAges
{
public:
    static inline const QString ContentSection = QStringLiteral("Content Dates");
    static inline const QString NoticeSection = QStringLiteral("Stale Notices");
    // The date from the future last passed over for an address, so it is logged once.
    static inline const QString FutureSection = QStringLiteral("Future Content Dates");
    // Where the download engine keeps the Last-Modified of each copy on disk.
    static inline const QString ValidatorSection = QStringLiteral("Downloaded Last-Modified");

    explicit SourceAges(std::function<QString()> settingsFile);

    // The date of the content last seen at `url`; 0 when none is known.
    TDateTime contentDate(const QString& url) const;
    // The server of `url` answered (a new copy in `file`, an unchanged one, or a check that
    // found it unchanged): the content's date is read by the source's rule and kept. An
    // answer that tells nothing keeps the date known before, and so does one whose date is
    // later than `now`: the line " - <url> states a date from the future (<date>); it is not
    // taken as the content's date" is returned the first time, empty otherwise.
    QString noteAnswer(const QString& url, const QByteArray& rawHeaders, const QString& file, TDateTime now);

    // True when `url` is a built-in source whose content dated `content` is stale at `now`.
    static bool isStale(const QString& url, TDateTime content, TDateTime now);
    bool isStale(const QString& url, TDateTime now) const { return isStale(url, contentDate(url), now); }

    // The line " - Stale: <url> has not changed since <date>" when `url` is stale and no such
    // line went out today (it is then noted as sent); empty otherwise.
    QString staleNotice(const QString& url, TDateTime now);

private:
    AddressValues m_values;
};

} // namespace gw
