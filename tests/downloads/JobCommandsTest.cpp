// The small commands of the download page: the proposed cloud destination, choosing and
// running the program for after downloads, the clouds page; and the path rules of the jobs.
#include "downloads/DownloadJobs.h"
#include "net/DownloadEngine.h"
#include "net/DownloadRig.h"

#include "renderer/RendererLayout.h"

#include <gtest/gtest.h>

using namespace gwtest;

namespace {

// The jobs without a server: these commands make no transfer.
struct CommandRig : DownloadRig
{
    TempDir home;
    bool loaded = true;
    QStringList executed;
    QStringList browsed;
    gw::DownloadJobs jobs { settings, state, log, dialogs, clock, engine, actions() };

    CommandRig() { jobs.setHome(home.path()); }

    gw::DownloadJobs::Actions actions()
    {
        gw::DownloadJobs::Actions a;
        a.executeFile = [this](const QString& f) { executed << f; };
        a.openBrowser = [this](const QString& url) { browsed << url; };
        a.settingsLoaded = [this] { return loaded; };
        return a;
    }
    QString images() const { return gw::RendererLayout(QString(), home.path()).imagesFolder(); }
};

} // namespace

TEST(JobCommands, ProposedCloudDestination)
{
    struct Step
    {
        char field; // 'a': the user sets the address (the change event follows), 'd': the destination
        QString text;
    };
    struct Case
    {
        const char* label;
        bool loaded;
        QString destination;
        std::vector<Step> steps;
        QString expected; // relative to the images folder when it starts without "/"
    };
    std::vector<Step> typed;
    const QString address = "http://127.0.0.1/maps/clouds.jpg";
    for (int n = 1; n <= address.size(); ++n)
        typed.push_back({ 'a', address.left(n) });

    const Case cases[] = {
        { "pasted address", true, "", { { 'a', address } }, "clouds.jpg" },
        { "typed address: the proposal follows each keystroke", true, "", typed, "clouds.jpg" },
        { "a backslash separates too", true, "", { { 'a', "C:\\maps\\earth.jpg" } }, "earth.jpg" },
        { "last of mixed separators", true, "", { { 'a', "http://h/a\\b/c.png" } }, "c.png" },
        { "before the settings are loaded", false, "", { { 'a', address } }, "" },
        { "the user's destination is never changed", true, "/data/mine.jpg", { { 'a', address } }, "/data/mine.jpg" },
        { "an address ending in / proposes no folder", true, "", { { 'a', "http://h/maps/" } }, "" },
        { "clearing the address takes the proposal back", true, "", { { 'a', address }, { 'a', "" } }, "" },
        { "a proposal the user edited stays", true, "",
            { { 'a', address }, { 'd', "/data/edited.jpg" }, { 'a', "http://h/other.jpg" } }, "/data/edited.jpg" },
        { "a destination the user emptied is proposed again", true, "/data/mine.jpg",
            { { 'd', "" }, { 'a', "http://h/other.jpg" } }, "other.jpg" },
    };
    for (const Case& c : cases) {
        CommandRig rig;
        rig.loaded = c.loaded;
        rig.settings.setText("edtFileDestination", c.destination);
        for (const Step& s : c.steps) {
            if (s.field == 'a') {
                rig.settings.setText("edtWebAdress", s.text);
                rig.jobs.edtWebAdressChange();
            } else {
                rig.settings.setText("edtFileDestination", s.text);
            }
        }
        const QString expected
            = c.expected.isEmpty() || c.expected.startsWith('/') ? c.expected : rig.images() + c.expected;
        EXPECT_EQ(rig.settings.text("edtFileDestination"), expected) << c.label;
    }
}

TEST(JobCommands, ChooseProgramAfterDownload)
{
    CommandRig rig;
    rig.settings.setText("edtExecuteFileAfterDownload", "/opt/tools/after.sh");
    rig.dialogs.queueFile("/usr/local/bin/refresh");
    rig.jobs.btnChooseExecuteFileClick();
    ASSERT_EQ(rig.dialogs.asked.size(), 1u);
    const gw::FileDialogRequest& r = rig.dialogs.asked[0].request;
    EXPECT_EQ(r.title, "Choose file to execute after download");
    EXPECT_EQ(r.proposedFile, "/opt/tools/after.sh");
    EXPECT_EQ(r.startFolder, "/opt/tools/");
    EXPECT_TRUE(r.filter.startsWith("All files (*)|*|")) << "a program without an extension is offered first";
    EXPECT_TRUE(r.defaultExtension.isEmpty()) << "no extension is added to a typed program name";
    EXPECT_EQ(rig.settings.text("edtExecuteFileAfterDownload"), "/usr/local/bin/refresh") << "answer taken";

    rig.dialogs.queueFile(QString());
    rig.jobs.btnChooseExecuteFileClick();
    EXPECT_EQ(rig.settings.text("edtExecuteFileAfterDownload"), "/usr/local/bin/refresh") << "cancel keeps the text";
}

TEST(JobCommands, RunNowAndCloudsPage)
{
    CommandRig rig;
    rig.settings.setText("edtExecuteFileAfterDownload", "/nowhere/missing.sh");
    rig.settings.setChecked("cbExecuteFileAfterDownload", false);
    rig.jobs.btnExecuteFileNowClick();
    EXPECT_EQ(rig.executed, QStringList { "/nowhere/missing.sh" })
        << "run unchecked and untested: the launcher reports a missing file";

    rig.jobs.openCloudInfoPage();
    EXPECT_EQ(rig.browsed, QStringList { gw::endpoints::cloudsPage() });
    EXPECT_TRUE(gw::endpoints::cloudsPage().endsWith("/clouds.php"));
}

TEST(JobCommands, PathRules)
{
    struct Case
    {
        const char* label;
        QString path;
        QString extension;
        QString marker;
    };
    const Case cases[] = {
        { "plain", "/m/quake.asc", ".asc", "/m/quake.marker" },
        { "no extension", "/m/quake", "", "/m/quake.marker" },
        { "dot in a folder only", "/m.d/quake", "", "/m.d/quake.marker" },
        { "two dots: the last one", "/m/quake.list.asc", ".asc", "/m/quake.list.marker" },
        { "upper case kept", "/s/ISS.TLE", ".TLE", "/s/ISS.marker" },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gw::DownloadJobs::extensionOf(c.path), c.extension) << c.label;
        EXPECT_EQ(gw::DownloadJobs::markerFileFor(c.path), c.marker) << c.label;
    }
}
