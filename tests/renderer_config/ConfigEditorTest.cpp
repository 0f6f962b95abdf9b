#include "ConfigTabFixture.h"

#include "renderer/ColorText.h"
#include "shared/Error.h"

#include <QDir>

#include <functional>
#include <sys/stat.h>

using namespace gw;
using gwtest::ConfigTab;

namespace {

constexpr int rgb(int r, int g, int b)
{
    return r + 256 * g + 65536 * b;
}

QStringList split(const char* text)
{
    return QString::fromUtf8(text).split(QLatin1Char('\n'));
}

QByteArray crlf(const char* text)
{
    return QByteArray(text).replace("\n", "\r\n");
}

} // namespace

TEST_F(ConfigTab, ListsOwnAndSystemConfigurationsEachOnce)
{
    for (const char* name : { "default", "readme.txt", "README.TXT", "tarn", "mine" })
        gwtest::writeFile(configFolder() + QLatin1String(name), "[earth]\n");
    QDir().mkpath(configFolder() + QStringLiteral("folder"));

    editor.getConfigs();
    const QStringList items = settings.lines(QStringLiteral("ddbConfig"));
    EXPECT_EQ(items.count(QStringLiteral("default")), 1) << "a name in both folders is listed once";
    EXPECT_TRUE(items.contains(QStringLiteral("README.TXT"))) << "only the lower-case readme is left out";
    EXPECT_FALSE(items.contains(QStringLiteral("readme.txt")));
    EXPECT_FALSE(items.contains(QStringLiteral("folder"))) << "folders are no configurations";
    EXPECT_TRUE(items.contains(QStringLiteral("tarn"))) << "the working file shows up from the next load on";
    EXPECT_TRUE(items.contains(QStringLiteral("mine")));
    if (QFileInfo::exists(QStringLiteral("/usr/share/xplanet/config/overlay_clouds"))) {
        EXPECT_TRUE(items.contains(QStringLiteral("overlay_clouds"))) << "system configurations are listed too";
    }
    QStringList sorted = items;
    std::sort(sorted.begin(), sorted.end(),
        [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
    EXPECT_EQ(items, sorted) << "listed by name";
}

TEST_F(ConfigTab, FirstPrefixSectionIsEditedButOnlyExactSectionsAreShown)
{
    select(QStringLiteral("cfg"),
        "map=before.jpg\n"
        "[earthx]\n"
        "map=prefix.jpg\n"
        "marker_file=x.marker\n"
        "[earth]\n"
        "map=exact.jpg\n"
        "[moon]\n"
        "map=moon.jpg\n"
        "[earth] # second section of the same body\n"
        "night_map=night.jpg # a comment\n");
    EXPECT_EQ(settings.text(QStringLiteral("map")), QStringLiteral("prefix.jpg")) << "[earthx opens the section";
    EXPECT_EQ(settings.lines(QStringLiteral("mMarkerfiles")), QStringList { QStringLiteral("x.marker") });
    EXPECT_EQ(settings.text(QStringLiteral("night_map")), QString()) << "only the first section counts";
    EXPECT_EQ(settings.lines(QStringLiteral("mBodyText")), split("map=exact.jpg\nnight_map=night.jpg"))
        << "the memo shows every exact [earth] section, comments cut, headers left out";

    settings.setText(QStringLiteral("map"), QStringLiteral("new.jpg"));
    EXPECT_EQ(tarnLines(),
        split("map=before.jpg\n[earthx]\nmap=new.jpg\nmarker_file=x.marker\n[earth]\nmap=exact.jpg\n"
              "[moon]\nmap=moon.jpg\n[earth] # second section of the same body\n"
              "night_map=night.jpg # a comment"));

    settings.MemorySettings::setText(QStringLiteral("ddbBodyTarget"), QStringLiteral("moon"));
    editor.ddbBodyTargetChange();
    EXPECT_EQ(settings.text(QStringLiteral("map")), QStringLiteral("moon.jpg"));
    EXPECT_EQ(settings.lines(QStringLiteral("mBodyText")), QStringList { QStringLiteral("map=moon.jpg") });
}

TEST_F(ConfigTab, ReadsTheKeysOfTheBodySection)
{
    struct Case
    {
        const char* label;
        const char* section;
        const char* map;
        const char* markers; // joined by "|"
        bool drawOrbit;
    };
    const Case cases[] = {
        { "blanks around '=' make no key", "map = earth.jpg", "", "", false },
        { "a comment is cut and the rest trimmed", "map=earth.jpg # day", "earth.jpg", "", false },
        { "the last of two map lines wins", "map=a.jpg\nmap=b.jpg", "b.jpg", "", false },
        { "draw_orbit=TRUE is not true", "draw_orbit=TRUE", "", "", false },
        { "draw_orbit=true", "draw_orbit=true", "", "", true },
        { "draw_orbit with a comment", "draw_orbit=true   # orbit", "", "", true },
        { "list keys in file order", "marker_file=b\nmarker_file=a", "", "b|a", false },
        { "an indented key followed by a comment", "  marker_file=quake.marker  # quakes", "", "quake.marker", false },
        { "an indented key without a comment is no key", "  map=earth.jpg", "", "", false },
        { "a commented-out key", "#map=earth.jpg", "", "", false },
        { "the value keeps trailing blanks without a comment", "map=earth.jpg  ", "earth.jpg  ", "", false },
    };
    for (const Case& c : cases) {
        select(QStringLiteral("cfg"), QByteArray("[earth]\n") + c.section + "\n[moon]\nmap=moon.jpg\n");
        EXPECT_EQ(settings.text(QStringLiteral("map")), QString::fromUtf8(c.map)) << c.label;
        EXPECT_EQ(settings.lines(QStringLiteral("mMarkerfiles")).join(QLatin1Char('|')), QString::fromUtf8(c.markers))
            << c.label;
        EXPECT_EQ(settings.checked(QStringLiteral("cbDrawOrbit")), c.drawOrbit) << c.label;
    }
    EXPECT_FALSE(tarnWritten()) << "reading never writes the working file";
}

TEST_F(ConfigTab, ReadsNumbersAndColoursAndKeepsThemWhenTheSectionIsSilent)
{
    select(QStringLiteral("cfg"),
        "[earth]\nmagnify=3\ncolor={28, 82, 110}\norbit_color={255,0,0}\n"
        "satellite_file=iss\nnight_map=n.jpg\ncloud_map=c.jpg\n");
    EXPECT_EQ(settings.integer(QStringLiteral("seMagnify")), 3);
    EXPECT_EQ(settings.integer(QStringLiteral("BodyColor")), rgb(28, 82, 110));
    EXPECT_EQ(settings.integer(QStringLiteral("OrbitColor")), rgb(255, 0, 0));
    EXPECT_EQ(settings.lines(QStringLiteral("mSatfiles")), QStringList { QStringLiteral("iss") });
    EXPECT_EQ(settings.text(QStringLiteral("night_map")), QStringLiteral("n.jpg"));
    EXPECT_EQ(settings.text(QStringLiteral("cloud_map")), QStringLiteral("c.jpg"));

    select(QStringLiteral("other"), "[earth]\nmap=x.jpg\n");
    EXPECT_EQ(settings.integer(QStringLiteral("seMagnify")), 3) << "magnify kept";
    EXPECT_EQ(settings.integer(QStringLiteral("BodyColor")), rgb(28, 82, 110)) << "body colour kept";
    EXPECT_TRUE(settings.lines(QStringLiteral("mSatfiles")).isEmpty()) << "lists emptied";
    EXPECT_EQ(settings.text(QStringLiteral("night_map")), QString()) << "fields emptied";

    select(QStringLiteral("missing"), QByteArray());
    EXPECT_EQ(settings.text(QStringLiteral("map")), QString()) << "a missing file reads as empty";
    EXPECT_TRUE(settings.lines(QStringLiteral("mBodyText")).isEmpty());
}

TEST_F(ConfigTab, ValuesXplanetAcceptsAreShownOrLeftAsTheyAreNeverAnError)
{
    // A colour name of xplanet's own name list in its per-user folder.
    gwtest::writeFile(
        editor.layout().rendererFolder() + QStringLiteral("rgb.txt"), "! comment\n  1   2   3\t\tglobewall teal\n");
    const int before = rgb(9, 9, 9);
    struct Case
    {
        const char* label;
        const char* line;
        const char* control;
        int shown;
    };
    const Case cases[] = {
        { "a colour name", "color=red", "BodyColor", rgb(255, 0, 0) },
        { "a colour name in any case", "orbit_color=Navy", "OrbitColor", rgb(0, 0, 128) },
        { "a name from the renderer's name list", "color=Globewall Teal", "BodyColor", rgb(1, 2, 3) },
        { "a hex colour, red first", "color=0xff8000", "BodyColor", rgb(255, 128, 0) },
        { "a decimal magnification", "magnify=1.5", "seMagnify", 2 },
        { "a decimal below one half", "magnify=0.25", "seMagnify", 0 },
        { "an unknown colour name", "color=no-such-colour", "BodyColor", before },
        { "a blank before a comma", "orbit_color={28 ,82,110}", "OrbitColor", before },
        { "no number at all", "magnify=big", "seMagnify", before },
    };
    for (const Case& c : cases) {
        QFile::remove(tarn());
        for (const char* control : { "BodyColor", "OrbitColor", "seMagnify" })
            settings.MemorySettings::setInteger(QLatin1String(control), before);
        const QByteArray file = QByteArray("[earth]\nmap=before.jpg\n") + c.line + "\nnight_map=after.jpg\n";
        EXPECT_NO_THROW(select(QStringLiteral("cfg"), file)) << c.label;
        EXPECT_EQ(settings.integer(QLatin1String(c.control)), c.shown) << c.label;
        EXPECT_EQ(settings.text(QStringLiteral("night_map")), QStringLiteral("after.jpg"))
            << c.label << ": read to the end";
        EXPECT_FALSE(tarnWritten()) << c.label << ": reading writes nothing";
        settings.setText(QStringLiteral("map"), QStringLiteral("edited.jpg"));
        EXPECT_TRUE(tarnLines().contains(QString::fromLatin1(c.line))) << c.label << ": the line is kept as it was";
    }
}

TEST_F(ConfigTab, EditsReplaceTheKeyWhereItsLastLineStood)
{
    const QByteArray file = "# before any section\n"
                            "[default]\n"
                            "map=default.jpg\n"
                            "[earth]\n"
                            "map=a.jpg\n"
                            "\n"
                            "shade=30\n"
                            "map=b.jpg\n"
                            "map = spaced.jpg\n"
                            "color={1,2,3}\n"
                            "[moon]\n"
                            "map=moon.jpg\n";
    select(QStringLiteral("cfg"), file);

    settings.setText(QStringLiteral("map"), QStringLiteral("  c.jpg "));
    EXPECT_EQ(gwtest::readFile(tarn()),
        crlf("# before any section\n[default]\nmap=default.jpg\n[earth]\n\nshade=30\n"
             "map=c.jpg\nmap = spaced.jpg\ncolor={1,2,3}\n[moon]\nmap=moon.jpg\n"))
        << "both map lines go, the new one stands where the second stood, trimmed; other lines untouched";

    settings.setText(QStringLiteral("map"), QString());
    EXPECT_EQ(tarnLines(),
        split("# before any section\n[default]\nmap=default.jpg\n[earth]\n\nshade=30\n"
              "map = spaced.jpg\ncolor={1,2,3}\n[moon]\nmap=moon.jpg"))
        << "an empty field removes the key and adds nothing";

    settings.setText(QStringLiteral("night_map"), QStringLiteral("night.jpg"));
    settings.setChecked(QStringLiteral("cbDrawOrbit"), true);
    settings.setInteger(QStringLiteral("seMagnify"), 4);
    settings.setChecked(QStringLiteral("cbDrawOrbit"), false);
    EXPECT_EQ(tarnLines().mid(3, 5), split("[earth]\nmagnify=4\ndraw_orbit=false\nnight_map=night.jpg\n"))
        << "a new key goes right after the header";

    EXPECT_EQ(gwtest::readFile(configFolder() + QStringLiteral("cfg")), file) << "the file waits for Apply";
}

TEST_F(ConfigTab, ABodyWithoutSectionWritesTheWorkingFileUnchanged)
{
    select(QStringLiteral("cfg"), "[moon]\nmap=moon.jpg\n", QStringLiteral("mars"));
    settings.setText(QStringLiteral("map"), QStringLiteral("mars.jpg"));
    EXPECT_EQ(tarnLines(), split("[moon]\nmap=moon.jpg"));
}

TEST_F(ConfigTab, EmptyListEntriesAtTheEndOfTheFileAddNothing)
{
    select(QStringLiteral("cfg"), "[earth]\nmarker_file=\nmarker_file=a.marker");
    EXPECT_EQ(settings.lines(QStringLiteral("mMarkerfiles")), split("\na.marker")) << "an empty value is an entry";
    editor.changeConfigParameter(
        QStringLiteral("earth"), QStringLiteral("marker_file"), settings.lines(QStringLiteral("mMarkerfiles")));
    EXPECT_EQ(tarnLines(), split("[earth]\nmarker_file=a.marker"));
}

TEST_F(ConfigTab, NothingIsWrittenWhileLoading)
{
    select(QStringLiteral("cfg"), "[earth]\nmap=a.jpg\ndraw_orbit=true\nmagnify=9\n");
    select(QStringLiteral("cfg2"), "[earth]\nmap=b.jpg\n");
    EXPECT_FALSE(tarnWritten()) << "filling the controls fires their handlers, which must do nothing";

    bool settingsLoading = true;
    editor.setSettingsLoadingProbe([&] { return settingsLoading; });
    settings.setText(QStringLiteral("map"), QStringLiteral("c.jpg"));
    EXPECT_FALSE(tarnWritten()) << "settings loading holds the handlers too";
    settingsLoading = false;
    settings.setText(QStringLiteral("map"), QStringLiteral("d.jpg"));
    EXPECT_TRUE(tarnWritten());
}

TEST_F(ConfigTab, ApplyWritesTheChosenFileAndTheMemoFollowsTheDisk)
{
    select(QStringLiteral("cfg"), "[earth]\nmap=a.jpg\n");
    settings.setText(QStringLiteral("map"), QStringLiteral("b.jpg"));
    EXPECT_EQ(settings.lines(QStringLiteral("mBodyText")), QStringList { QStringLiteral("map=a.jpg") })
        << "the memo shows the file on disk";
    editor.ddbBodyTargetChange();
    EXPECT_EQ(settings.text(QStringLiteral("map")), QStringLiteral("b.jpg")) << "body change shows unapplied edits";
    EXPECT_EQ(settings.lines(QStringLiteral("mBodyText")), QStringList { QStringLiteral("map=a.jpg") });

    editor.btnApplyChangesClick();
    EXPECT_EQ(gwtest::readFile(configFolder() + QStringLiteral("cfg")), QByteArray("[earth]\r\nmap=b.jpg\r\n"));
    EXPECT_EQ(settings.lines(QStringLiteral("mBodyText")), QStringList { QStringLiteral("map=b.jpg") });

    select(QStringLiteral("cfg"), QByteArray());
    EXPECT_EQ(settings.text(QStringLiteral("map")), QStringLiteral("b.jpg")) << "a CR LF file reads back the same";
}

TEST_F(ConfigTab, ASystemConfigurationIsReadThereAndAppliedToTheOwnFolder)
{
    const QString system = editor.layout().systemConfigFolder() + QStringLiteral("default");
    if (!QFileInfo::exists(system))
        GTEST_SKIP() << "xplanet's configuration folder is not installed";
    const QByteArray systemBefore = gwtest::readFile(system);

    select(QStringLiteral("default"), QByteArray());
    EXPECT_EQ(settings.integer(QStringLiteral("BodyColor")), rgb(28, 82, 110)) << "xplanet's own [earth] colour";
    EXPECT_FALSE(settings.lines(QStringLiteral("mBodyText")).isEmpty()) << "the memo shows the system file";

    settings.setText(QStringLiteral("map"), QStringLiteral("mine.jpg"));
    editor.btnApplyChangesClick();
    const QString own = configFolder() + QStringLiteral("default");
    ASSERT_TRUE(QFileInfo::exists(own));
    EXPECT_EQ(gwtest::readFile(system), systemBefore) << "the system file is never written";
    EXPECT_EQ(editor.configSource(QStringLiteral("default")), own) << "from now on the own copy is read";
    const QStringList lines = readConfigFile(own).lines;
    EXPECT_EQ(lines.size(), parseConfigText(systemBefore).lines.size() + 1);
    EXPECT_EQ(lines.at(findBodySection(lines, QStringLiteral("earth")) + 1), QStringLiteral("map=mine.jpg"));
}

TEST_F(ConfigTab, WritesThatCannotBeDoneRaiseAnError)
{
    select(QStringLiteral(""), QByteArray());
    EXPECT_THROW(editor.btnApplyChangesClick(), Error) << "no configuration chosen";

    select(QStringLiteral("cfg"), "[earth]\nmap=a.jpg\n");
    QDir(configFolder()).removeRecursively();
    try {
        editor.changeConfigParameter(QStringLiteral("earth"), QStringLiteral("map"), { QStringLiteral("b.jpg") });
        ADD_FAILURE() << "no error without a configuration folder";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("tarn"))) << e.message().toStdString();
    }
    EXPECT_THROW(editor.btnApplyChangesClick(), Error);
}

TEST_F(ConfigTab, BytesOutsideUtf8SurviveAnEdit)
{
    const QByteArray latin1 = "# Gr\xFC\xDF"
                              "e\n[earth]\nmap=a.jpg\n[moon]\nmap=M\xF6nd.jpg\n";
    select(QStringLiteral("cfg"), latin1);
    settings.setText(QStringLiteral("map"), QStringLiteral("b.jpg"));
    EXPECT_EQ(gwtest::readFile(tarn()),
        QByteArray("# Gr\xFC\xDF"
                   "e\r\n[earth]\r\nmap=b.jpg\r\n[moon]\r\nmap=M\xF6nd.jpg\r\n"));

    select(QStringLiteral("utf8"), "[earth]\nmap=Erde_\xC3\xBC.jpg\n");
    EXPECT_EQ(settings.text(QStringLiteral("map")), QStringLiteral("Erde_\u00FC.jpg"));
}

TEST_F(ConfigTab, ColourButtonsWriteOnlyANewConfirmedColour)
{
    select(QStringLiteral("cfg"), "[earth]\ncolor={0,0,0}\n");
    dialogs.queueColor(std::nullopt);
    editor.btnColorClick();
    EXPECT_FALSE(tarnWritten()) << "cancelled";
    dialogs.queueColor(QColor(0, 0, 0));
    editor.btnColorClick();
    EXPECT_FALSE(tarnWritten()) << "the same colour";

    dialogs.queueColor(QColor(255, 128, 0));
    editor.btnColorClick();
    EXPECT_EQ(tarnLines(), split("[earth]\ncolor={255,128,0}"));
    EXPECT_EQ(settings.integer(QStringLiteral("BodyColor")), rgb(255, 128, 0));

    dialogs.queueColor(QColor(1, 2, 3));
    editor.btnOrbitColorClick();
    EXPECT_EQ(tarnLines(), split("[earth]\norbit_color={1,2,3}\ncolor={255,128,0}"));
    EXPECT_TRUE(dialogs.allAnswersUsed());
}

TEST_F(ConfigTab, ImageChoosersPutTheBareNameIntoTheField)
{
    select(QStringLiteral("cfg"), "[earth]\nmap=old.jpg\n");
    dialogs.queueFile(QStringLiteral("/somewhere/else/day.jpg"));
    editor.btnDayImageClick();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    const FileDialogRequest& r = dialogs.asked.back().request;
    EXPECT_EQ(r.title, QStringLiteral("select day image"));
    EXPECT_EQ(r.proposedFile, QStringLiteral("old.jpg"));
    EXPECT_EQ(r.filter, QStringLiteral("All files (*)|*"));
    EXPECT_EQ(r.startFolder, home.path() + QStringLiteral("/.xplanet/images"));
    EXPECT_EQ(settings.text(QStringLiteral("map")), QStringLiteral("day.jpg"));
    EXPECT_EQ(tarnLines(), split("[earth]\nmap=day.jpg")) << "written by the field's change handler";

    struct Case
    {
        void (ConfigEditor::*click)();
        const char* title;
        const char* field;
    };
    const Case cases[] = {
        { &ConfigEditor::btnNightImageClick, "select night image", "night_map" },
        { &ConfigEditor::btnCloudImageClick, "select cloud image", "cloud_map" },
        { &ConfigEditor::btnBackImageClick, "select background image", "edtBackImage" },
    };
    for (const Case& c : cases) {
        dialogs.queueFile(QString());
        (editor.*c.click)();
        EXPECT_EQ(dialogs.asked.back().request.title, QString::fromUtf8(c.title));
        EXPECT_EQ(settings.text(QString::fromUtf8(c.field)), QString()) << c.title << ": cancelled";
        dialogs.queueFile(home.path() + QStringLiteral("/pic.png"));
        (editor.*c.click)();
        EXPECT_EQ(settings.text(QString::fromUtf8(c.field)), QStringLiteral("pic.png")) << c.title;
    }
    EXPECT_FALSE(tarnLines().contains(QStringLiteral("edtBackImage=pic.png")));
}

TEST_F(ConfigTab, AConfigurationThatIsNoRegularFileIsRefusedWithoutWaiting)
{
    struct Case
    {
        const char* name;
        std::function<void(const QString&)> plant;
    };
    const Case cases[] = {
        { "a FIFO with no writer", [](const QString& p) { ASSERT_EQ(::mkfifo(QFile::encodeName(p), 0600), 0); } },
        { "a link to an endless device", [](const QString& p) { QFile::link(QStringLiteral("/dev/zero"), p); } },
    };
    for (const Case& c : cases) {
        const QString path = configFolder() + QStringLiteral("odd");
        QFile::remove(path);
        c.plant(path);
        try {
            readConfigFile(path);
            ADD_FAILURE() << c.name << ": read as a configuration";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("not a regular file"))) << c.name;
        }
    }
}
