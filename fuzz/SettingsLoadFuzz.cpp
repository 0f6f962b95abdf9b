// Loading a hand-edited settings file of any bytes: the lists stay within their limits, and
// what is loaded survives a save and the next start unchanged (the second save writes the same
// bytes as the first).
#include "FuzzSupport.h"

#include "settings/MemorySettings.h"
#include "settings/SettingsFile.h"

#include <QFile>

namespace {

constexpr size_t kMaxInput = 16 * 1024;

QByteArray saved(const QString& name)
{
    QFile file(gwfuzz::scratchDir() + QLatin1Char('/') + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray loadAndSave(const QString& from, const QString& to)
{
    gw::MemorySettings settings;
    gw::SettingsFileHooks hooks;
    gw::SettingsFile file(settings, hooks, gwfuzz::scratchDir(), QSize(1920, 1080));
    file.IniLoad(from);
    FUZZ_CHECK(settings.lines(QStringLiteral("mTime")).size() <= gw::SettingsFile::MaxListEntries, "time list bounded");
    FUZZ_CHECK(settings.checkItems(QStringLiteral("cbTimeServer")).size() <= gw::SettingsFile::MaxListEntries,
        "server list bounded");
    QFile::remove(gwfuzz::scratchDir() + QLatin1Char('/') + to);
    file.IniSave(to);
    return saved(to);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxInput)
        return 0;
    gwfuzz::writeScratch(QStringLiteral("edited.ini"), gwfuzz::bytes(data, size));
    const QByteArray first = loadAndSave(QStringLiteral("edited.ini"), QStringLiteral("first.ini"));
    const QByteArray second = loadAndSave(QStringLiteral("first.ini"), QStringLiteral("second.ini"));
    FUZZ_CHECK(first == second, "loaded settings survive a save and the next start");
    return 0;
}
