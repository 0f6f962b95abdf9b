// "updates.ini" on any bytes, and what the update check makes of its fields: a release is
// never both newer and older than another, the proposed file name is a bare name, and its
// extension has at most three characters.
#include "FuzzSupport.h"

#include "update/UpdateInfo.h"

namespace {

constexpr size_t kMaxInput = 64 * 1024;

void proposal(const QString& url)
{
    const QString name = gw::proposedFileName(url);
    FUZZ_CHECK(!name.contains(QLatin1Char('/')), "the proposal is a bare name");
    FUZZ_CHECK(gw::proposedExtension(name).size() <= 3, "an extension has at most three characters");
    (void)gw::hostOf(url);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxInput)
        return 0;
    FuzzedDataProvider in(data, size);
    const QString ownVersion = gwfuzz::takeText(in, 32);
    const QString ownBeta = gwfuzz::takeText(in, 8);
    const QString url = gwfuzz::takeText(in, 512);
    const QByteArray file = gwfuzz::takeBytes(in, kMaxInput);

    const gw::UpdateInfo info = gw::UpdateInfo::read(gwfuzz::writeScratch(QStringLiteral("updates.ini"), file));
    const bool newer = gw::isNewerRelease(info.Version, info.Beta, ownVersion, ownBeta);
    const bool older = gw::isNewerRelease(ownVersion, ownBeta, info.Version, info.Beta);
    FUZZ_CHECK(!(newer && older), "a release is not newer and older at once");
    FUZZ_CHECK(
        !gw::isNewerRelease(info.Version, info.Beta, info.Version, info.Beta), "a release is not newer than itself");
    proposal(info.URL1);
    proposal(url);
    return 0;
}
