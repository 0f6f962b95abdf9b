#pragma once
// Values kept per download address in sections of the current settings file, each under the
// address as DownloadRecords::keyFor makes it fit to be a key. An object reads the file once,
// when first asked, and writes each change through at once; a new object sees what others
// (another instance of the program too) wrote meanwhile.
#include "settings/IniFile.h"

#include <QString>

#include <functional>
#include <initializer_list>
#include <optional>

namespace gw {

class AddressValues
{
public:
    // `settingsFile` names the current settings file at the moment of each use; empty: none,
    // nothing is read or written.
    explicit AddressValues(std::function<QString()> settingsFile);

    // The value kept for `key` (an address, or a host key) in `section`; empty when none.
    QString text(const QString& section, const QString& key) const;
    // As a number; 0 when none is kept or it is no number of a date (up to the year 9999).
    double number(const QString& section, const QString& key) const;

    struct Entry
    {
        QString section;
        QString key;
        QString value; // empty: the key is deleted
    };
    // One change of the file, saved whole; a file that cannot be read or written throws gw::Error.
    void write(std::initializer_list<Entry> entries);
    void write(const QString& section, const QString& key, const QString& value) { write({ { section, key, value } }); }
    // A date or a time span, to 8 decimals (under a millisecond).
    static QString numberText(double value) { return QString::number(value, 'f', 8); }

private:
    const IniFile* read() const;

    std::function<QString()> m_settingsFile;
    mutable std::optional<IniFile> m_read; // the file as last read and written here
};

} // namespace gw
