// The renderer's configuration file and its colour text on any bytes: lines read and written
// back settle after one round and never hold a line break; replacing a key changes that key's
// lines in the body's first section and nothing else; colour text is a colour or a clear error.
#include "FuzzSupport.h"

#include "renderer/ColorText.h"
#include "renderer/ConfigEditor.h"
#include "renderer/ConfigText.h"
#include "settings/MemorySettings.h"
#include "shared/Error.h"
#include "support/ScriptedDialogs.h"

#include <array>

namespace {

constexpr size_t kMaxInput = 64 * 1024;

const std::array<const char*, 6> kBodies = { "earth", "moon", "default", "", "earth]", "[earth" };
const std::array<const char*, 5> kKeys = { "marker_file", "satellite_file", "color", "map", "[x" };

void colourText(const QString& text)
{
    try {
        const int colour = gw::StrToColor(text);
        FUZZ_CHECK(colour >= 0 && colour <= 0xFFFFFF, "a colour has three bytes");
        FUZZ_CHECK(gw::StrToColor(gw::ColorToStr(colour)) == colour, "a colour survives its text");
    } catch (const gw::Error&) {
        // Refused with a message: that is the expected answer to bad text.
    }
    try {
        const int n = gw::parseWholeNumber(text);
        FUZZ_CHECK(gw::parseWholeNumber(QString::number(n)) == n, "a number survives its text");
    } catch (const gw::Error&) {
    }
}

// The lines of the body's first section that begin with `prefix`, and the others, in order.
void partition(const QStringList& lines, qsizetype from, qsizetype to, const QString& prefix, QStringList* keyed,
    QStringList* rest)
{
    for (qsizetype i = from; i < to; ++i)
        (lines.at(i).startsWith(prefix) ? keyed : rest)->append(lines.at(i));
}

void replaceKey(const QStringList& before, const QString& body, const QString& key, const QStringList& values)
{
    QStringList after = before;
    const bool found = gw::replaceKeyInSection(after, body, key, values);
    const qsizetype header = gw::findBodySection(before, body);
    FUZZ_CHECK(found == (header >= 0), "a body without a section is reported");
    if (!found) {
        FUZZ_CHECK(after == before, "nothing changes without the section");
        return;
    }
    const qsizetype end = gw::sectionEnd(before, header);
    const QString prefix = key + QLatin1Char('=');
    QStringList oldKeyed, oldRest;
    partition(before, header + 1, end, prefix, &oldKeyed, &oldRest);
    QStringList nonEmpty;
    for (const QString& v : values)
        if (!v.isEmpty())
            nonEmpty << prefix + v;
    const qsizetype newEnd = end - oldKeyed.size() + nonEmpty.size();
    FUZZ_CHECK(after.size() == before.size() - oldKeyed.size() + nonEmpty.size(), "only the key's lines change");
    FUZZ_CHECK(after.mid(0, header + 1) == before.mid(0, header + 1), "lines before the section stay");
    FUZZ_CHECK(after.mid(newEnd) == before.mid(end), "lines after the section stay");
    QStringList newKeyed, newRest;
    partition(after, header + 1, newEnd, prefix, &newKeyed, &newRest);
    FUZZ_CHECK(newRest == oldRest, "the section's other lines stay in order");
    FUZZ_CHECK(newKeyed == nonEmpty, "the key holds exactly the new values");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxInput)
        return 0;
    FuzzedDataProvider in(data, size);
    const QString body = QString::fromLatin1(kBodies[in.ConsumeIntegralInRange<size_t>(0, kBodies.size() - 1)]);
    const QString key = QString::fromLatin1(kKeys[in.ConsumeIntegralInRange<size_t>(0, kKeys.size() - 1)]);
    QStringList values;
    for (int n = in.ConsumeIntegralInRange<int>(0, 3); n > 0; --n)
        values << gwfuzz::takeText(in, 64).remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    colourText(gwfuzz::takeText(in, 64));
    const QByteArray file = gwfuzz::takeBytes(in, kMaxInput);

    const gw::ConfigLines config = gw::parseConfigText(file);
    for (const QString& line : config.lines)
        FUZZ_CHECK(
            !line.contains(QLatin1Char('\n')) && !line.contains(QLatin1Char('\r')), "a line holds no line break");
    const QByteArray written = gw::configTextBytes(config);
    FUZZ_CHECK(gw::configTextBytes(gw::parseConfigText(written)) == written, "written lines read back the same");
    FUZZ_CHECK(gw::parseConfigText(written) == config, "lines and their encoding read back the same");

    for (const QString& line : gw::bodySectionText(config.lines, body))
        FUZZ_CHECK(!line.isEmpty() && !line.startsWith(QLatin1Char('[')), "shown lines are the section's entries");
    replaceKey(config.lines, body, key, values);

    // The tab's controls filled from the section, as choosing a body does.
    static gw::MemorySettings settings;
    static gw::ScriptedDialogs dialogs;
    static gw::ConfigEditor editor(settings, dialogs, gwfuzz::scratchDir());
    try {
        editor.getParameterFromConfig(config.lines, body);
    } catch (const gw::Error&) {
        // A colour or magnification that is no number: refused with a message.
    }
    return 0;
}
