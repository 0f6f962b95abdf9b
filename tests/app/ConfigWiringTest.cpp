// The "XPlanet Configuration" tab of the window in a private home: its controls reach the
// configuration editor and the marker and satellite lists, and what they write is what the
// renderer reads.
#include "AppRig.h"
#include "renderer/ConfigEditor.h"
#include "renderer/RendererLayout.h"
#include "support/WaitUntil.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class ConfigWiring : public ::testing::Test
{
protected:
    QString configFolder() const { return rig.home() + "/.xplanet/config/"; }
    QStringList tarnLines() const
    {
        return QString::fromLatin1(gwtest::readFile(configFolder() + "tarn")).split("\r\n");
    }
    // The lines of the [earth] section of a file, up to the next section.
    static QStringList section(const QStringList& lines, const QString& header)
    {
        const qsizetype start = lines.indexOf(header);
        QStringList out;
        for (qsizetype i = start + 1; start >= 0 && i < lines.size() && !lines[i].startsWith('['); ++i)
            out << lines[i];
        return out;
    }
    // The lines of a key in a section (comments of the same key left out).
    QStringList keyLines(const QString& header, const QString& key) const
    {
        QStringList out;
        for (const QString& l : section(tarnLines(), header))
            if (l.startsWith(key + '='))
                out << l;
        return out;
    }
    static QStringList fileLines(const QString& path)
    {
        return QString::fromLatin1(gwtest::readFile(path)).remove('\r').split('\n');
    }
    // The marker and satellite lines of a section, sorted: their order means nothing to xplanet.
    static QStringList entryLines(const QStringList& sectionLines)
    {
        QStringList out;
        for (const QString& l : sectionLines)
            if (l.startsWith("marker_file=") || l.startsWith("satellite_file="))
                out << l;
        out.sort();
        return out;
    }
    void choose(QComboBox* combo, const QString& text)
    {
        combo->setCurrentIndex(combo->findText(text));
        emit combo->activated(combo->currentIndex());
    }
    void rightClick(QListWidget* list, int row)
    {
        const QPoint at = row < list->count() ? list->visualItemRect(list->item(row)).center()
                                              : QPoint(5, list->viewport()->height() - 2);
        QTest::mousePress(list->viewport(), Qt::RightButton, {}, at);
    }

    gwtest::AppRig rig;
};

TEST_F(ConfigWiring, EditsGoToTheWorkingFileAndApplyWritesTheConfiguration)
{
    rig.program.write("Globewall.ini", "");
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    ASSERT_TRUE(QFileInfo::exists("/usr/share/xplanet/config/default"));
    EXPECT_FALSE(QFileInfo::exists(configFolder() + "tarn")) << "a later start's creation and loading write nothing";

    struct Case
    {
        const char* label;
        std::function<void()> edit;
        QString line; // in the [earth] section of the working file afterwards
    };
    const Case cases[] = {
        { "typing a day map", [&] { QTest::keyClicks(form.ui()->map, "day.jpg"); }, "map=day.jpg" },
        { "night map chooser",
            [&] {
                rig.dialogs.queueFile(rig.home() + "/elsewhere/night.png");
                form.ui()->btnNightImage->click();
            },
            "night_map=night.png" },
        { "cloud map field", [&] { form.ui()->cloud_map->setText(" clouds.jpg "); }, "cloud_map=clouds.jpg" },
        { "draw orbit", [&] { form.ui()->cbDrawOrbit->click(); }, "draw_orbit=true" },
        { "magnify", [&] { form.ui()->seMagnify->setValue(3); }, "magnify=3" },
        { "body colour",
            [&] {
                rig.dialogs.queueColor(QColor(255, 128, 0));
                form.ui()->btnColor->click();
            },
            "color={255,128,0}" },
        { "orbit colour",
            [&] {
                rig.dialogs.queueColor(QColor(1, 2, 3));
                form.ui()->btnOrbitColor->click();
            },
            "orbit_color={1,2,3}" },
    };
    for (const Case& c : cases) {
        c.edit();
        EXPECT_TRUE(section(tarnLines(), "[earth]").contains(c.line)) << c.label;
    }
    EXPECT_EQ(app.settings().text("night_map"), "night.png") << "the bare file name";
    EXPECT_FALSE(QFileInfo::exists(configFolder() + "default")) << "not before Apply";
    EXPECT_TRUE(rig.dialogs.messages().isEmpty()) << rig.dialogs.messages().join('\n').toStdString();

    form.ui()->btnApplyChanges->click();
    const QStringList applied = QString::fromLatin1(gwtest::readFile(configFolder() + "default")).split("\r\n");
    for (const Case& c : cases)
        EXPECT_TRUE(section(applied, "[earth]").contains(c.line)) << c.label << " after Apply";
    EXPECT_TRUE(form.ui()->mBodyText->toPlainText().contains("map=day.jpg")) << "the memo shows the file on disk";
}

TEST_F(ConfigWiring, ChoosingABodyShowsItsSectionAndEditsGoThere)
{
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    choose(form.ui()->ddbBodyTarget, "mars");
    EXPECT_TRUE(form.ui()->mBodyText->toPlainText().contains("color={172, 123, 67}"));
    form.ui()->map->setText("red.jpg");
    EXPECT_TRUE(section(tarnLines(), "[mars]").contains("map=red.jpg"));
    EXPECT_FALSE(section(tarnLines(), "[earth]").contains("map=red.jpg"));
}

TEST_F(ConfigWiring, TheLoadListsTheFilesAndKeepsTheChosenName)
{
    gwtest::writeFile(configFolder() + "mine", "[earth]\nmap=mine.jpg\n");
    struct Case
    {
        const char* label;
        QByteArray name;
        QString map;
    };
    const Case cases[] = {
        { "a per-user file", "mine", "mine.jpg" },
        { "a name no folder holds", "absent", "" },
    };
    for (const Case& c : cases) {
        rig.program.write("Globewall.ini", "[New Parameter]\nConfig=" + c.name + "\n");
        gw::AppCore& app = rig.create();
        EXPECT_EQ(app.settings().text("ddbConfig"), QString::fromLatin1(c.name)) << c.label;
        const QStringList items = app.settings().lines("ddbConfig");
        EXPECT_TRUE(items.contains("mine") && items.contains("default") && items.contains("earth_markers")) << c.label;
        EXPECT_EQ(app.settings().text("map"), c.map) << c.label;
        EXPECT_FALSE(QFileInfo::exists(configFolder() + "tarn")) << c.label << ": loading writes nothing";
    }
}

TEST_F(ConfigWiring, MarkerListMenuEditsAndRemovesTheEntryUnderThePointer)
{
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    QListWidget* list = form.ui()->mMarkerfiles;
    ASSERT_EQ(app.settings().lines("mMarkerfiles"), (QStringList { "earth", "quake.marker" })) << "first start";
    form.show();
    list->item(0)->setSelected(true);

    rightClick(list, 1);
    EXPECT_EQ(list->selectedItems().size(), 1);
    EXPECT_TRUE(list->item(1)->isSelected()) << "the entry under the pointer alone";
    EXPECT_TRUE(form.pmMarker()->isVisible()) << "its menu opens";
    form.pmMarker()->hide();

    form.ui()->Openineditor1->trigger();
    EXPECT_EQ(
        rig.launcher.started, (QList<QStringList> { { "testapp", rig.home() + "/.xplanet/markers/quake.marker" } }))
        << "edit file opens it with the text editor";

    form.ui()->Deletefromlist1->trigger();
    EXPECT_EQ(app.settings().lines("mMarkerfiles"), QStringList { "earth" });
    EXPECT_EQ(keyLines("[earth]", "marker_file"), QStringList { "marker_file=earth" });

    rightClick(list, 5);
    EXPECT_TRUE(list->selectedItems().isEmpty()) << "below the last entry: nothing selected";
    EXPECT_FALSE(form.pmMarker()->isVisible()) << "and no menu";
}

TEST_F(ConfigWiring, AddingAndRemovingSatellitesWritesTheList)
{
    gw::AppCore& app = rig.create();
    MainWindow& form = app.window();
    const QString satellites = rig.home() + "/.xplanet/satellites/";
    gwtest::writeFile(satellites + "hubble", "");
    gwtest::writeFile(satellites + "hubble.tle", "");
    rig.dialogs.queueFile(satellites + "hubble");
    form.ui()->btnChooseSatellite->click();
    EXPECT_EQ(app.settings().lines("mSatfiles"), (QStringList { "iss", "hubble" }));
    EXPECT_EQ(keyLines("[earth]", "satellite_file"), (QStringList { "satellite_file=iss", "satellite_file=hubble" }));

    form.ui()->mSatfiles->item(0)->setSelected(true);
    form.ui()->btnRemoveSatellite->click();
    EXPECT_EQ(app.settings().lines("mSatfiles"), QStringList { "hubble" });
    EXPECT_EQ(keyLines("[earth]", "satellite_file"), QStringList { "satellite_file=hubble" });
}

TEST_F(ConfigWiring, FirstStartPutsTheQuakeMarkersAndTheStationIntoTheConfiguration)
{
    rig.create();
    const QString file = configFolder() + "default";
    ASSERT_TRUE(QFileInfo::exists(file)) << "written to the per-user folder at once";
    const QStringList earth = section(fileLines(file), "[earth]");
    EXPECT_EQ(
        entryLines(earth), (QStringList { "marker_file=earth", "marker_file=quake.marker", "satellite_file=iss" }));
    EXPECT_TRUE(earth.contains("color={28, 82, 110}")) << "the rest of the system's section is kept";
    EXPECT_TRUE(fileLines(file).contains("[moon]")) << "and the other bodies";
    EXPECT_EQ(rig.app->settings().lines("mMarkerfiles"), (QStringList { "earth", "quake.marker" }));
    EXPECT_EQ(rig.app->settings().lines("mSatfiles"), QStringList { "iss" });
    EXPECT_TRUE(rig.dialogs.messages().isEmpty()) << rig.dialogs.messages().join('\n').toStdString();

    // The user takes the earthquakes out again; a later start must not put them back.
    rig.app.reset();
    if (!QFileInfo::exists(rig.programFile("Globewall.ini")))
        rig.program.write("Globewall.ini", "");
    QByteArray edited = gwtest::readFile(file);
    edited.replace("marker_file=quake.marker\r\n", "");
    gwtest::writeFile(file, edited);
    rig.create();
    EXPECT_EQ(gwtest::readFile(file), edited) << "a later start changes nothing";
    EXPECT_EQ(rig.app->settings().lines("mMarkerfiles"), QStringList { "earth" });
}

TEST_F(ConfigWiring, FirstStartKeepsAUsersOwnConfigurationAndAddsNoDuplicate)
{
    struct Case
    {
        const char* label;
        QByteArray own; // the user's ~/.xplanet/config/default before the first start
        QStringList entries; // the [earth] entries afterwards
        bool rewritten;
    };
    const Case cases[] = {
        { "quake markers there already",
            "[default]\nmarker_color=red\n[earth]\n# mine\nmarker_file=quake.marker\nmap=mine.jpg\n",
            { "marker_file=earth", "marker_file=quake.marker", "satellite_file=iss" }, true },
        { "everything there already",
            "[earth]\nsatellite_file=iss\nmarker_file=earth\nmarker_file=quake.marker\nnight_map=night.jpg\n",
            { "marker_file=earth", "marker_file=quake.marker", "satellite_file=iss" }, false },
        { "no section of the body", "[default]\nmarker_color=red\n", {}, false },
    };
    for (const Case& c : cases) {
        gwtest::AppRig fresh;
        const QString file = fresh.home() + "/.xplanet/config/default";
        gwtest::writeFile(file, c.own);
        gw::AppCore& app = fresh.create();
        const QStringList lines = fileLines(file);
        EXPECT_EQ(entryLines(section(lines, "[earth]")), c.entries) << c.label;
        if (c.rewritten) {
            for (const char* kept : { "# mine", "map=mine.jpg", "marker_color=red" })
                EXPECT_TRUE(lines.contains(kept)) << c.label << ": keeps " << kept;
        } else {
            EXPECT_EQ(gwtest::readFile(file), c.own) << c.label << ": not written at all";
        }
        EXPECT_EQ(app.settings().lines("mMarkerfiles").count("quake.marker"), 1) << c.label;
        EXPECT_TRUE(fresh.dialogs.messages().isEmpty()) << c.label;
    }
}

} // namespace

// The real (non-native) file dialog: a pattern of "*.*" hides the satellite files, which have no
// extension, while the choosers' "All files" must list them.
TEST_F(ConfigWiring, SatelliteChooserListsFilesWithoutExtension)
{
    gw::AppCore::Options options = rig.options();
    options.dialogs = nullptr; // the window's own dialogs
    gw::AppCore& app = rig.create(options);
    MainWindow& form = app.window();
    const QString satellites = rig.home() + "/.xplanet/satellites/";
    gwtest::writeFile(satellites + "iss", "");
    gwtest::writeFile(satellites + "iss.tle", "");

    bool listed = false;
    bool dialogSeen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialogSeen = true;
        auto* model = dialog->findChild<QFileSystemModel*>();
        // A file the filter leaves out is not among the folder's rows (hidden), or disabled.
        // (Asking the model for the file's own index would make it visible.)
        gwtest::waitUntil(
            [&] {
                if (!model)
                    return false;
                const QModelIndex folder = model->index(satellites.chopped(1));
                for (int row = 0; row < model->rowCount(folder) && !listed; ++row) {
                    const QModelIndex entry = model->index(row, 0, folder);
                    listed = entry.data().toString() == "iss" && (model->flags(entry) & Qt::ItemIsEnabled);
                }
                return listed;
            },
            5000);
        dialog->reject();
    });
    form.ui()->btnChooseSatellite->click();
    EXPECT_TRUE(dialogSeen);
    EXPECT_TRUE(listed) << "\"iss\" is offered in " << satellites.toStdString();
}
