#include "downloads/AddressValues.h"

#include "net/DownloadRecords.h"

#include <cmath>

namespace gw {

AddressValues::AddressValues(std::function<QString()> settingsFile)
    : m_settingsFile(std::move(settingsFile))
{
}

const IniFile* AddressValues::read() const
{
    const QString file = m_settingsFile();
    if (file.isEmpty())
        return nullptr;
    // The user may load another settings file between two uses.
    if (!m_read || m_read->path() != file)
        m_read.emplace(file);
    return &*m_read;
}

QString AddressValues::text(const QString& section, const QString& key) const
{
    const IniFile* ini = read();
    return ini ? ini->readString(section, DownloadRecords::keyFor(key), QString()) : QString();
}

double AddressValues::number(const QString& section, const QString& key) const
{
    bool ok = false;
    const double value = text(section, key).toDouble(&ok);
    // A date or a span past the year 9999 was never written here: an edited or broken value.
    constexpr double kLargest = 2958466;
    return ok && std::isfinite(value) && std::abs(value) <= kLargest ? value : 0;
}

void AddressValues::write(std::initializer_list<Entry> entries)
{
    const auto apply = [&](IniFile& ini) {
        for (const Entry& e : entries) {
            if (e.value.isEmpty())
                ini.deleteKey(e.section, DownloadRecords::keyFor(e.key));
            else
                ini.writeString(e.section, DownloadRecords::keyFor(e.key), e.value);
        }
    };
    const QString file = m_settingsFile();
    IniFile::change(file, apply);
    if (m_read && m_read->path() == file)
        apply(*m_read);
}

} // namespace gw
