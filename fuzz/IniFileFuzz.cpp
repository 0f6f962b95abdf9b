// The INI reader on any bytes: reading and writing back settle after one round, a written
// value reads back as written (one line, trimmed, at most 2047 characters), and a write
// leaves every other entry as it was.
#include "FuzzSupport.h"

#include "settings/IniFile.h"

#include <array>

using gw::IniFile;

namespace {

constexpr size_t kMaxInput = 64 * 1024;

// Names as the program uses them, in other cases and with blanks around.
const std::array<const char*, 8> kSections
    = { "Config", "config", " CONFIG ", "Time", "Download", "Globewall", "", "x]" };
const std::array<const char*, 8> kKeys
    = { "File", "file", "Proxy Password", "How often", "0,1", "Time 0", "Version", "Count" };

QByteArray reload(const QByteArray& bytes)
{
    IniFile ini { QString() };
    ini.loadFromBytes(bytes);
    return ini.toBytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxInput)
        return 0;
    FuzzedDataProvider in(data, size);
    const auto sectionIndex = in.ConsumeIntegralInRange<size_t>(0, kSections.size() - 1);
    const auto keyIndex = in.ConsumeIntegralInRange<size_t>(0, kKeys.size() - 1);
    const QByteArray value = gwfuzz::takeBytes(in, 4096);
    const QByteArray file = gwfuzz::takeBytes(in, kMaxInput);

    IniFile ini { QString() };
    ini.loadFromBytes(file);
    const QByteArray once = ini.toBytes();
    FUZZ_CHECK(reload(once) == once, "a file read and written back settles after one round");

    // Everything the reader offers, as the settings loader asks for it.
    for (const QString& section : ini.sections()) {
        for (const QString& key : ini.keys(section)) {
            FUZZ_CHECK(ini.hasKey(section, key), "a listed key is found");
            FUZZ_CHECK(ini.readBytes(section, key, {}).size() <= IniFile::MaxValueLength, "values are cut to 2047");
            (void)ini.readInteger(section, key, -1);
            (void)ini.readString(section, key, QString());
        }
    }

    const QString section = QString::fromLatin1(kSections[sectionIndex]);
    const QString key = QString::fromLatin1(kKeys[keyIndex]);
    const QString other = QStringLiteral("Other Key");
    const QByteArray otherBefore = ini.readBytes(section, other, "<none>");

    ini.writeBytes(section, key, value);
    IniFile back { QString() };
    back.loadFromBytes(ini.toBytes());
    QByteArray expected = value;
    expected.replace('\r', ' ').replace('\n', ' ');
    expected = expected.trimmed().left(IniFile::MaxValueLength);
    // A section name that cannot stand in a header ("" or one holding "]") is not one to ask for.
    if (!section.trimmed().isEmpty() && !section.contains(QLatin1Char(']'))) {
        FUZZ_CHECK(back.readBytes(section, key, "<none>") == expected, "a written value reads back");
        FUZZ_CHECK(back.readBytes(section, other, "<none>") == otherBefore, "a write keeps the other entries");
    }

    back.deleteKey(section, key);
    back.eraseSection(QStringLiteral("Time"));
    FUZZ_CHECK(!back.hasSection(QStringLiteral("time")), "an erased section is gone whole");
    (void)reload(back.toBytes());
    return 0;
}
