#pragma once
// The dates of the server copies last downloaded, one per source address, in the section
// "Downloaded Files" of the current settings file.
#include <QString>

#include <functional>

namespace gw {

class DownloadRecords
{
public:
    static inline const QString Section = QStringLiteral("Downloaded Files");

    // `settingsFile` names the current settings file at the moment of each use (it changes
    // when the user loads another file).
    explicit DownloadRecords(std::function<QString()> settingsFile);

    // The recorded date-time text, or the text of date-time 0 when there is none.
    QString recorded(const QString& url) const;

    // Writes `text` as the record of `url`. An empty text (the check of that address got no
    // answer to record) leaves the record as it is. A file that cannot be written throws gw::Error.
    void DateTimeDownloadedFile(const QString& url, const QString& text);

    // The key under which `url` is stored. A "=" cannot be part of the key of a "key=value"
    // line, nor a line break, so addresses holding them are stored with those percent-encoded;
    // every other address is its own key.
    static QString keyFor(const QString& url);

    // The settings file these records are in at this moment.
    QString settingsFile() const { return m_settingsFile(); }

private:
    std::function<QString()> m_settingsFile;
};

} // namespace gw
