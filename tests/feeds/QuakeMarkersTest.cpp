#include "feeds/QuakeMarkers.h"
#include "shared/Error.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace gw;

namespace {

const QByteArray kSampleMarkers = "35.50 139.80 \"HONSHU, JAPAN (5.1)\" color=green\r\n"
                                  "-15.20 -75.10 \"NEAR COAST OF PERU    (4.8)\" color=green\r\n"
                                  "10.00 20.00 \"lower-case letters (4.2)\" color=green\r\n"
                                  "8.10 0.50 \" (6.3)\" color=green\r\n"
                                  "61.00 -147.70 \"SOUTHERN ALASKA (4.5)\" color=green\r\n";

QByteArray sample()
{
    return gwtest::readFile(gwtest::testData(QStringLiteral("quake/quake.asc")));
}

// One record in the list's fixed columns.
QByteArray record(const char* lat, char ns, const char* lon, char ew, const char* mag, const char* region)
{
    return QByteArray("24/01/01 12:00:00") + QByteArray(lat).rightJustified(7) + ns + QByteArray(lon).rightJustified(7)
        + ew + "  10.0 " + QByteArray(mag).leftJustified(3) + "   A  " + region;
}

QByteArray convert(const gwtest::TempDir& dir, const QByteArray& input)
{
    const QString asc = dir.write(QStringLiteral("quake.asc"), input);
    const QString marker = dir.file(QStringLiteral("quake.marker"));
    ConvertAscQuakeToMarker(asc, marker);
    return gwtest::readFile(marker);
}

} // namespace

TEST(QuakeMarkers, SampleListGivesOneGreenMarkerPerEarthquake)
{
    gwtest::TempDir dir;
    EXPECT_EQ(convert(dir, sample()), kSampleMarkers)
        << "records before the header, blank lines and the closing note give no marker; the last line has no "
           "line feed";
}

TEST(QuakeMarkers, CrLfInputGivesTheSameMarkers)
{
    gwtest::TempDir dir;
    const QByteArray out = convert(dir, sample().replace("\n", "\r\n"));
    const QList<QByteArray> lines = out.split('\n');
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines.at(0), QByteArray("35.50 139.80 \"HONSHU, JAPAN (5.1)\" color=green\r"));
    EXPECT_EQ(lines.at(3), QByteArray("8.10 0.50 \" (6.3)\" color=green\r")) << "short line: no region, CR trimmed";
}

TEST(QuakeMarkers, HeaderRule)
{
    const QByteArray header = "  yy/mm/dd hh:mm:ss    lat     lon";
    const QByteArray japan = record("35.50", 'N', "139.80", 'E', "5.1", "JAPAN");
    const QByteArray japanMarker = "35.50 139.80 \"JAPAN (5.1)\" color=green\r\n";
    struct Case
    {
        const char* label;
        QByteArray input;
        QByteArray output;
    };
    const Case cases[] = {
        { "no header: empty output", japan + "\n" + japan + "\n", "" },
        { "header as the last line", japan + "\n" + header + "\n", "" },
        { "header text anywhere in the line", "note " + header + " more\n" + japan, japanMarker },
        { "a repeated header is no earthquake", header + "\n" + japan + "\n" + header + "\n" + japan + "\n",
            japanMarker + japanMarker },
        { "empty input", "", "" },
        { "a note whose columns hold words", header + "\nThe list holds the events of the last seven days.\n", "" },
    };
    for (const Case& c : cases) {
        gwtest::TempDir dir;
        dir.write(QStringLiteral("quake.marker"), "old markers");
        EXPECT_EQ(convert(dir, c.input), c.output) << c.label;
    }
}

TEST(QuakeMarkers, HemisphereLettersSignTheDegrees)
{
    struct Case
    {
        const char* label;
        char ns;
        char ew;
        const char* expected;
    };
    const Case cases[] = {
        { "north east", 'N', 'E', "1.50 2.50" },
        { "south west", 'S', 'W', "-1.50 -2.50" },
        { "lower-case letters are no hemisphere", 's', 'w', "1.50 2.50" },
        { "blank letters", ' ', ' ', "1.50 2.50" },
        { "south east", 'S', 'E', "-1.50 2.50" },
    };
    for (const Case& c : cases) {
        gwtest::TempDir dir;
        const QByteArray out
            = convert(dir, "yy/mm/dd hh:mm:ss\n" + record("1.50", c.ns, "2.50", c.ew, "4.0", "SOMEWHERE"));
        EXPECT_EQ(out, QByteArray(c.expected) + " \"SOMEWHERE (4.0)\" color=green\r\n") << c.label;
    }
}

// The label stays one quoted option value whatever the list holds: a '"' would end it and let
// the rest become marker options, a control character could end the marker line.
TEST(QuakeMarkers, RegionTextStaysOneLabel)
{
    struct Case
    {
        const char* label;
        QByteArray magnitude, region;
        QByteArray marker;
    };
    const Case cases[] = {
        { "other bytes pass unchanged", " 6", "  Ki\xC3\xBC ISLANDS  ",
            "1.0 2.0 \"  Ki\xC3\xBC ISLANDS   (6)\" color=green\r\n" },
        { "quotes", "5.1", "\"KIEL\" ISLANDS", "1.0 2.0 \"'KIEL' ISLANDS (5.1)\" color=green\r\n" },
        { "a quote followed by options", "5.1", "X\" image=/etc/passwd \"",
            "1.0 2.0 \"X' image=/etc/passwd ' (5.1)\" color=green\r\n" },
        { "control characters", "5.1", "A\tB\x1b[2JC\x7f\rD", "1.0 2.0 \"A B [2JC  D (5.1)\" color=green\r\n" },
        { "a quote in the magnitude column", "\"x", "SEA", "1.0 2.0 \"SEA ('x)\" color=green\r\n" },
    };
    for (const Case& c : cases) {
        gwtest::TempDir dir;
        const QByteArray out = convert(
            dir, "yy/mm/dd hh:mm:ss\n" + record("1.0", 'N', "2.0", 'E', c.magnitude.constData(), c.region.constData()));
        EXPECT_EQ(out, c.marker) << c.label;
    }
}

TEST(QuakeMarkers, MissingOrBrokenFilesLeaveTheOldMarkerFile)
{
    gwtest::TempDir dir;
    const QString marker = dir.write(QStringLiteral("quake.marker"), "old markers");

    ConvertAscQuakeToMarker(dir.file(QStringLiteral("missing.asc")), marker);
    EXPECT_EQ(gwtest::readFile(marker), QByteArray("old markers")) << "a missing input is no error";
    ConvertAscQuakeToMarker(dir.file(QStringLiteral("missing.asc")), dir.file(QStringLiteral("new.marker")));
    EXPECT_FALSE(QFileInfo::exists(dir.file(QStringLiteral("new.marker"))));

    const QString folderAsInput = dir.file(QStringLiteral("folder.asc"));
    QDir().mkpath(folderAsInput);
    EXPECT_THROW(ConvertAscQuakeToMarker(folderAsInput, marker), Error) << "an unreadable input";
    EXPECT_EQ(gwtest::readFile(marker), QByteArray("old markers"));

    const QString asc = dir.write(QStringLiteral("quake.asc"), sample());
    const QString blocked = dir.write(QStringLiteral("plain"), "x") + QStringLiteral("/quake.marker");
    EXPECT_THROW(ConvertAscQuakeToMarker(asc, blocked), Error) << "an output that cannot be written";
}
