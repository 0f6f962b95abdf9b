#include "ConfigTabFixture.h"

#include "renderer/MarkerSatelliteFiles.h"
#include "shared/Error.h"

#include <QDir>

using namespace gw;

namespace {

class Lists : public gwtest::ConfigTab
{
protected:
    Lists()
        : files(settings, dialogs, editor,
            [this](const QString& file, const QString& ext) { started << file + QLatin1Char('|') + ext; })
    {
        select(QStringLiteral("cfg"), "[earth]\nmap=earth.jpg\n[moon]\n");
    }

    QString markers() const { return editor.layout().markersFolder(); }
    QString satellites() const { return editor.layout().satellitesFolder(); }
    QString pictures() const { return editor.layout().satelliteImagesFolder(); }
    QStringList list(const char* name) const { return settings.lines(QLatin1String(name)); }

    QStringList started;
    MarkerSatelliteFiles files;
};

QStringList split(const char* text)
{
    return QString::fromUtf8(text).split(QLatin1Char('\n'));
}

} // namespace

TEST_F(Lists, AddingAMarkerFileWritesTheWholeListIntoTheSection)
{
    struct Case
    {
        const char* label;
        QString chosen;
        const char* expected; // the list afterwards, joined by "|"
    };
    const Case cases[] = {
        { "first entry", markers() + QStringLiteral("quake.marker"), "quake.marker" },
        { "the same name again is refused silently", markers() + QStringLiteral("quake.marker"), "quake.marker" },
        { "another letter case is another file", markers() + QStringLiteral("Quake.marker"),
            "quake.marker|Quake.marker" },
        { "the folder compared without regard to case", markers().toUpper() + QStringLiteral("earth"),
            "quake.marker|Quake.marker|earth" },
        { "cancelled", QString(), "quake.marker|Quake.marker|earth" },
    };
    for (const Case& c : cases) {
        dialogs.queueFile(c.chosen);
        files.btnChoosMarkerfileClick();
        EXPECT_EQ(list("mMarkerfiles").join(QLatin1Char('|')), QString::fromUtf8(c.expected)) << c.label;
    }
    EXPECT_TRUE(dialogs.messages().isEmpty());
    const FileDialogRequest& r = dialogs.asked.front().request;
    EXPECT_EQ(r.title, QStringLiteral("select Markerfile"));
    EXPECT_EQ(r.startFolder, home.path() + QStringLiteral("/.xplanet/markers"));
    EXPECT_EQ(r.filter, QStringLiteral("All files (*)|*"));
    EXPECT_EQ(tarnLines(),
        split("[earth]\nmarker_file=quake.marker\nmarker_file=Quake.marker\nmarker_file=earth\n"
              "map=earth.jpg\n[moon]"));
}

TEST_F(Lists, FilesOutsideTheirFolderAreRefusedWithAWarning)
{
    const QString markerWarning = QStringLiteral("The Marker-File must be in the default directory (") + home.path()
        + QStringLiteral("/.xplanet/markers)");
    const QString satWarning = QStringLiteral("The Sat-File must be in the default directory (") + home.path()
        + QStringLiteral("/.xplanet/satellites)");
    dialogs.queueFile(markers() + QStringLiteral("sub/quake.marker"));
    files.btnChoosMarkerfileClick();
    dialogs.queueFile(home.path() + QStringLiteral("/quake.marker"));
    files.btnChoosMarkerfileClick();
    dialogs.queueFile(satellites() + QStringLiteral("old/iss"));
    files.btnChooseSatelliteClick();
    EXPECT_EQ(dialogs.messages(), (QStringList { markerWarning, markerWarning, satWarning }));
    for (const auto& asked : dialogs.asked) {
        if (asked.what == QLatin1String("message")) {
            EXPECT_EQ(asked.kind, MessageKind::Warning);
        }
    }
    EXPECT_TRUE(list("mMarkerfiles").isEmpty());
    EXPECT_TRUE(list("mSatfiles").isEmpty());
    EXPECT_FALSE(tarnWritten());
}

TEST_F(Lists, ASatelliteFileNeedsItsTleFileBesideIt)
{
    gwtest::writeFile(satellites() + QStringLiteral("iss.tle"), "elements");
    const QString noTle = QStringLiteral("There must be also a .tle file to the Sat-File");

    dialogs.queueFile(satellites() + QStringLiteral("iss.tle"));
    files.btnChooseSatelliteClick();
    EXPECT_EQ(dialogs.messages(), QStringList { noTle }) << "the TLE file itself is no satellite file";
    EXPECT_EQ(dialogs.asked.front().request.title, QStringLiteral("select Satfile (Filename without .tle)"));

    dialogs.queueFile(satellites() + QStringLiteral("iss"));
    files.btnChooseSatelliteClick();
    EXPECT_EQ(list("mSatfiles"), QStringList { QStringLiteral("iss") });
    EXPECT_EQ(tarnLines(), split("[earth]\nsatellite_file=iss\nmap=earth.jpg\n[moon]"));

    gwtest::writeFile(satellites() + QStringLiteral("iss.tle.tle"), "elements");
    dialogs.queueFile(satellites() + QStringLiteral("iss.tle"));
    files.btnChooseSatelliteClick();
    EXPECT_EQ(list("mSatfiles"), split("iss\niss.tle")) << "accepted once iss.tle.tle exists";
    EXPECT_EQ(dialogs.messages().size(), 1);
}

TEST_F(Lists, RemovingKeepsTheUnselectedEntriesInOrder)
{
    select(QStringLiteral("cfg"), "[earth]\nmarker_file=a\nmarker_file=b\nmarker_file=c\nsatellite_file=iss\n");
    files.btnRemoveMarkerfileClick({});
    EXPECT_FALSE(tarnWritten()) << "nothing selected, nothing written";

    files.btnRemoveMarkerfileClick({ 0, 2 });
    EXPECT_EQ(list("mMarkerfiles"), QStringList { QStringLiteral("b") });
    EXPECT_EQ(tarnLines(), split("[earth]\nmarker_file=b\nsatellite_file=iss"));

    files.btnRemoveSatelliteClick({ 0 });
    EXPECT_TRUE(list("mSatfiles").isEmpty());
    EXPECT_EQ(tarnLines(), split("[earth]\nmarker_file=b")) << "the only entry removed: the key is gone";
}

TEST_F(Lists, RightClickSelectsTheEntryUnderThePointer)
{
    using R = MarkerSatelliteFiles::MouseDownResult;
    struct Case
    {
        const char* label;
        bool right;
        int row;
        R expected;
    };
    const Case cases[] = {
        { "left button ignored", false, 1, R {} },
        { "right button on an entry", true, 2, R { true, 2, true } },
        { "right button below the last entry", true, -1, R { true, -1, false } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(MarkerSatelliteFiles::listMouseDown(c.right, c.row), c.expected) << c.label;
}

TEST_F(Lists, EditFileOpensExactlyOneSelectedEntryAsText)
{
    settings.setLines(QStringLiteral("mMarkerfiles"), split("earth\nquake.marker"));
    settings.setLines(QStringLiteral("mSatfiles"), split("iss"));
    files.Openineditor1Click({});
    files.Openineditor1Click({ 0, 1 });
    files.Openineditor2Click({});
    EXPECT_EQ(dialogs.messages(),
        (QStringList { QStringLiteral("Select one of the markerfiles"), QStringLiteral("Select one of the markerfiles"),
            QStringLiteral("Select one of the satellites") }));
    EXPECT_EQ(dialogs.asked.front().kind, MessageKind::Information);
    EXPECT_TRUE(started.isEmpty());

    files.Openineditor1Click({ 1 });
    files.Openineditor2Click({ 0 });
    EXPECT_EQ(started,
        (QStringList { markers() + QStringLiteral("quake.marker|txt"), satellites() + QStringLiteral("iss|txt") }));
}

TEST_F(Lists, ALaunchErrorOfTheEditorReachesTheCaller)
{
    MarkerSatelliteFiles failing(settings, dialogs, editor, [](const QString&, const QString&) {
        throw Error(QStringLiteral("Error while launching the default programm."));
    });
    settings.setLines(QStringLiteral("mMarkerfiles"), split("earth"));
    EXPECT_THROW(failing.Openineditor1Click({ 0 }), Error);
}

TEST(SatelliteFile, CatalogueNumberOfTheFirstSatellite)
{
    struct Case
    {
        const char* label;
        QByteArray tle;
        const char* number;
    };
    const Case cases[] = {
        { "stations list, CR LF", gwtest::readFile(gwtest::testData(QStringLiteral("renderer_config/stations.txt"))),
            "25544" },
        { "another satellite first",
            gwtest::readFile(gwtest::testData(QStringLiteral("renderer_config/css-first.tle"))), "48274" },
        { "a name line and a line 1 without line 2",
            gwtest::readFile(gwtest::testData(QStringLiteral("renderer_config/empty.tle"))), "0" },
        { "empty file", QByteArray(), "0" },
        { "a download error page", "<html><body>404 Not Found</body></html>\n", "0" },
        { "without name lines", "1 00005U 58002B   24001.5  0  0  0 0  9999\n2 00005  34.2\n", "00005" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(MarkerSatelliteFiles::firstCatalogueNumber(c.tle), QString::fromLatin1(c.number)) << c.label;
}

TEST_F(Lists, GenerateSatFileWritesEightLinesWithTheCatalogueNumber)
{
    const QString tle = satellites() + QStringLiteral("stations.tle");
    gwtest::writeFile(tle, gwtest::readFile(gwtest::testData(QStringLiteral("renderer_config/stations.txt"))));
    dialogs.queueFile(home.path() + QStringLiteral("/Downloads/sat.png"));
    dialogs.queueFile(pictures() + QStringLiteral("sat.png"));
    files.GenerateSatFile(tle);

    EXPECT_EQ(gwtest::readFile(satellites() + QStringLiteral("stations")),
        QByteArray("#\r\n"
                   "# This is an automatic generated Satfile from Globewall\r\n"
                   "#\r\n"
                   "# See the xplanet readme.txt for all possible options\r\n"
                   "#\r\n"
                   "\r\n"
                   "25544 image=sat.png transparent={0,0,0} color=red\r\n"
                   "\r\n"));
    ASSERT_EQ(dialogs.asked.size(), 2u) << "asked again while the picture lies elsewhere";
    const FileDialogRequest& r = dialogs.asked.front().request;
    EXPECT_EQ(r.title, QStringLiteral("Please choose a Sat picture..."));
    EXPECT_EQ(r.proposedFile, QStringLiteral("sat.png"));
    EXPECT_EQ(r.filter, QStringLiteral("PNG Files (*.png)|*.png"));
    EXPECT_EQ(r.startFolder, home.path() + QStringLiteral("/.xplanet/images"));
    EXPECT_EQ(list("mSatfiles"), QStringList { QStringLiteral("stations") });
    EXPECT_FALSE(tarnWritten()) << "the configuration follows with the next change of the list";
}

TEST_F(Lists, GenerateSatFileWithoutSatelliteWritesZero)
{
    const QString tle = satellites() + QStringLiteral("none.tle");
    gwtest::writeFile(tle, gwtest::readFile(gwtest::testData(QStringLiteral("renderer_config/empty.tle"))));
    dialogs.queueFile(pictures() + QStringLiteral("iss.png"));
    files.GenerateSatFile(tle);
    const QList<QByteArray> lines = gwtest::readFile(satellites() + QStringLiteral("none")).split('\n');
    ASSERT_GE(lines.size(), 7);
    EXPECT_EQ(lines.at(6), QByteArray("0 image=iss.png transparent={0,0,0} color=red\r"));
}

TEST_F(Lists, GenerateSatFileLeavesAnExistingFileAndEndsOnCancel)
{
    const QString tle = satellites() + QStringLiteral("iss.tle");
    gwtest::writeFile(tle, gwtest::readFile(gwtest::testData(QStringLiteral("renderer_config/iss.tle"))));
    gwtest::writeFile(satellites() + QStringLiteral("iss"), "mine");
    files.GenerateSatFile(tle);
    EXPECT_TRUE(dialogs.asked.empty()) << "no question for an existing satellite file";
    EXPECT_EQ(gwtest::readFile(satellites() + QStringLiteral("iss")), QByteArray("mine"));

    QFile::remove(satellites() + QStringLiteral("iss"));
    dialogs.queueFile(QString());
    files.GenerateSatFile(tle);
    EXPECT_FALSE(QFileInfo::exists(satellites() + QStringLiteral("iss"))) << "cancelled: no satellite file";
    EXPECT_TRUE(list("mSatfiles").isEmpty());

    files.GenerateSatFile(satellites() + QStringLiteral("noextension"));
    EXPECT_EQ(dialogs.asked.size(), 1u) << "a name without extension has no satellite file of its own";
}

TEST_F(Lists, GenerateSatFileThatCannotWriteRaisesAndListsNothing)
{
    // A TLE path below a plain file: its satellite file cannot be created, not even by root.
    const QString blocker = home.write(QStringLiteral("plain"), "x");
    dialogs.queueFile(pictures() + QStringLiteral("sat.png"));
    EXPECT_THROW(files.GenerateSatFile(blocker + QStringLiteral("/iss.tle")), Error);
    EXPECT_TRUE(list("mSatfiles").isEmpty());
}

TEST_F(Lists, NightMapForTheEarthWhenTheImagesHoldOne)
{
    // xplanet's own images (Debian's xplanet-images) or the user's images folder.
    const bool systemNight = QFileInfo::exists(QStringLiteral("/usr/share/xplanet/images/night.jpg"));
    struct Case
    {
        const char* label;
        const char* config;
        bool userPicture;
        const char* expected; // the working file afterwards
    };
    const Case cases[] = {
        { "added", "[earth]\nmap=earth.jpg\n[moon]\n", true, "[earth]\nnight_map=night.jpg\nmap=earth.jpg\n[moon]" },
        { "one named already", "[earth]\nnight_map = dark.jpg # mine\n", true, "[earth]\nnight_map = dark.jpg # mine" },
        { "no earth section", "[moon]\n", true, "[moon]" },
        { "no picture", "[earth]\n", false, systemNight ? "[earth]\nnight_map=night.jpg" : "[earth]" },
    };
    int n = 0;
    for (const Case& c : cases) {
        select(QStringLiteral("night%1").arg(++n), c.config);
        const QString own = editor.layout().imagesFolder() + QStringLiteral("night.jpg");
        if (c.userPicture)
            gwtest::writeFile(own, "jpeg");
        else
            QFile::remove(own);
        const QStringList before = editor.configLines();
        const bool changed = files.addNightMapWhenMissing();
        EXPECT_EQ(changed, editor.configLines() != before) << c.label;
        EXPECT_EQ(editor.configLines(), split(c.expected)) << c.label;
    }
}

TEST_F(Lists, TheTrailBoxChangesOnlyTheSatelliteFilesThisProgramWrote)
{
    const QByteArray generated = MarkerSatelliteFiles::satelliteFileText("25544", "iss.png");
    const QByteArray withTrail = MarkerSatelliteFiles::satelliteFileText("25544", "iss.png", true);
    const QByteArray own = "25544 image=iss.png color=blue\n";
    struct Case
    {
        const char* label;
        QString name;
        QByteArray before;
        bool trail;
        QByteArray after;
    };
    const Case cases[] = {
        { "a written file gets the trail", "iss", generated, true, withTrail },
        { "and loses it again", "iss", withTrail, false, generated },
        { "a file with the trail keeps it", "iss", withTrail, true, withTrail },
        { "a file the user wrote", "mine", own, true, own },
        { "the elements beside it", "iss.tle", generated, true, generated },
    };
    for (const Case& c : cases) {
        gwtest::TempDir folder;
        const QString file = folder.write(c.name, c.before);
        MarkerSatelliteFiles::setTrailInGeneratedFiles(folder.path(), c.trail);
        EXPECT_EQ(gwtest::readFile(file), c.after) << c.label;
    }
    EXPECT_TRUE(withTrail.contains("color=red trail={orbit,-10,45,1}\r\n"));
}
