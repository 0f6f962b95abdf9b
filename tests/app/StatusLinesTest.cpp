// The two status lines of the tray tooltip and the idle status bar, from the settings, the
// scheduler's times and the files on disk.
#include "app/StatusLines.h"
#include "downloads/SourceAges.h"
#include "settings/IniFile.h"
#include "settings/MemorySettings.h"
#include "shared/AppState.h"
#include "shared/Endpoints.h"
#include "support/TempDir.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(16, 20, 30));

TEST(StatusLines, RenderLine)
{
    struct Case
    {
        const char* label;
        bool enabled;
        bool timed;
        QDateTime due;
        const char* line;
    };
    const Case cases[] = {
        { "due later today", true, true, kNow.addSecs(600), "next render 16:30" },
        { "due after midnight", true, true, QDateTime(QDate(2026, 12, 8), QTime(0, 5, 30)),
            "next render 08.12.2026 00:05" },
        { "overdue (a gate held it back)", true, true, kNow.addSecs(-5), "next render now" },
        { "no timed render", true, false, kNow.addSecs(600), "no timed render" },
        { "switched off", false, true, kNow.addSecs(600), "switched off: no renders" },
    };
    for (const Case& c : cases) {
        gw::StatusFacts facts;
        facts.enabled = c.enabled;
        facts.timedRender = c.timed;
        facts.nextRender = gw::toDateTime(c.due);
        EXPECT_EQ(gw::statusLines(facts, kNow).value(0), QString::fromLatin1(c.line)) << c.label;
    }
}

TEST(StatusLines, DownloadLineFromTheFilesOnDisk)
{
    gwtest::TempDir dir;
    auto fileAt = [&](const char* name, const QDateTime& changed) {
        const QString path = dir.file(QString::fromLatin1(name));
        gwtest::writeFile(path, "x");
        QFile f(path);
        f.open(QIODevice::ReadWrite);
        f.setFileTime(changed, QFileDevice::FileModificationTime);
        return path;
    };
    gw::MemorySettings settings;
    gw::AppState state;
    settings.setChecked("Globewallenabled", true);
    settings.setChecked("cbStartEveryXsec", true);
    settings.setInteger("SpinEdit", 600);
    state.LastRenderTime = gw::toDateTime(kNow.addSecs(-60));
    settings.setText("edtFileDestination", fileAt("clouds.jpg", kNow.addSecs(-3600)));
    settings.setCell("sgDownloadFiles", 0, 1, gw::endpoints::issElements());
    settings.setCell("sgDownloadFiles", 1, 1, fileAt("iss.tle", kNow));
    settings.setCell("sgDownloadFiles", 0, 2, gw::endpoints::quakeFeed());
    settings.setCell("sgDownloadFiles", 1, 2, fileAt("quake.csv", kNow.addDays(-1)));

    EXPECT_EQ(gw::statusLines(gw::statusFacts(settings, state), kNow),
        (QStringList { "next render 16:29", "cloud map 15:20, earthquakes 06.12.2026 16:20" }))
        << "the satellite row is not the earthquake list";

    settings.setText("edtFileDestination", dir.file("missing.jpg"));
    settings.setCell("sgDownloadFiles", 0, 2, "https://example.org/other.csv");
    EXPECT_EQ(
        gw::statusLines(gw::statusFacts(settings, state), kNow).value(1), "cloud map not yet, earthquakes not yet");
}

// The date the server gave the content, not the file's, and a source that stopped changing
// marked.
TEST(StatusLines, ContentDatesAndStaleSources)
{
    gwtest::TempDir dir;
    const QString file = dir.file("Globewall.ini");
    const QString cloud = gw::endpoints::liveCloudMap("2048x1024");
    const QString quakes = gw::endpoints::quakeFeed();
    gw::MemorySettings settings;
    gw::AppState state;
    settings.setText("edtWebAdress", cloud);
    settings.setText("edtFileDestination", dir.write("clouds.jpg", "x"));
    settings.setCell("sgDownloadFiles", 0, 1, quakes);
    settings.setCell("sgDownloadFiles", 1, 1, dir.write("quake.csv", "x"));
    struct Row
    {
        const char* name;
        QDateTime cloudContent; // invalid: none kept
        QDateTime quakeContent;
        const char* line;
    };
    const Row rows[] = {
        { "a month-old map, a fresh feed", kNow.addDays(-30), kNow.addSecs(-600),
            "cloud map 07.11.2026 16:20 (stale), earthquakes 16:10" },
        { "both live", kNow.addSecs(-3 * 3600), kNow.addSecs(-600), "cloud map 13:20, earthquakes 16:10" },
        { "no content date: the file's", QDateTime(), kNow.addSecs(-600), "cloud map FILE, earthquakes 16:10" },
    };
    for (const Row& row : rows) {
        QFile::remove(file);
        gw::IniFile ini(file);
        for (const auto& [url, when] :
            { std::pair { cloud, row.cloudContent }, std::pair { quakes, row.quakeContent } })
            if (when.isValid())
                ini.writeString(gw::SourceAges::ContentSection, url, QString::number(gw::toDateTime(when), 'f', 8));
        ASSERT_TRUE(ini.save(nullptr));
        const QDateTime written = QFileInfo(settings.text("edtFileDestination")).lastModified();
        const QString expected = QString::fromLatin1(row.line).replace(
            "FILE", written.toString(written.date() == kNow.date() ? "hh:mm" : "dd.MM.yyyy hh:mm"));
        EXPECT_EQ(
            gw::statusLines(gw::statusFacts(settings, state, file, gw::toDateTime(kNow)), kNow).value(1), expected)
            << row.name;
    }
}

} // namespace
