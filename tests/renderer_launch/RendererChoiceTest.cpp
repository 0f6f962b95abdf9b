// Choosing the renderer and the file run before each render, the way out of the question for
// a missing renderer, and opening the renderer's readme.
#include "RenderFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

using namespace launchtest;
using gw::RenderControl;

namespace {

class RendererChoiceTest : public RenderFixture
{
protected:
    QString imagesFolder() const { return rendererFolder() + QStringLiteral("images/"); }
};

TEST_F(RendererChoiceTest, ChoosingTheRendererAsksTheFileDialog)
{
    QStringList hints;
    QObject::connect(&render, &RenderControl::appFileHintChanged, [&](const QString& h) { hints << h; });
    render.setProgramFile("/opt/globewall/Globewall");
    settings.setText("edtFileDestination", imagesFolder() + "clouds.jpg");

    dialogs.queueFile({});
    EXPECT_FALSE(render.btnAppFileClick()) << "cancelled";
    EXPECT_EQ(settings.text("edtAppFile"), QString());
    EXPECT_TRUE(hints.isEmpty());

    dialogs.queueFile("/usr/local/bin/xplanet");
    EXPECT_TRUE(render.btnAppFileClick());
    EXPECT_EQ(settings.text("edtAppFile"), "/usr/local/bin/xplanet");
    EXPECT_EQ(hints, QStringList { "/usr/local/bin/xplanet" }) << "the hint follows";

    dialogs.queueFile({});
    render.btnAppFileClick();

    ASSERT_EQ(dialogs.asked.size(), 3u) << "no destination question: it lies in the images folder";
    const gw::FileDialogRequest& first = dialogs.asked[0].request;
    EXPECT_EQ(first.title, "select xplanet");
    EXPECT_EQ(first.proposedFile, "xplanet");
    EXPECT_EQ(first.filter, "xplanet|xplanet|All files (*)|*");
    EXPECT_EQ(first.startFolder, "/opt/globewall/") << "empty renderer: the program's folder";
    EXPECT_EQ(dialogs.asked[2].request.startFolder, "/usr/local/bin/") << "else the renderer's folder";
}

TEST_F(RendererChoiceTest, ChoosingTheRendererMayMoveTheCloudDestination)
{
    const struct
    {
        const char* label;
        QString destination;
        QString address;
        std::optional<bool> answer; // none: no question expected
        QString result;
    } cases[] = {
        { "other folder, OK", "/other/clouds.jpg", "http://h/x/clouds_2000.jpg", true, "images/clouds_2000.jpg" },
        { "other folder, Cancel", "/other/clouds.jpg", "http://h/x/clouds_2000.jpg", false, "/other/clouds.jpg" },
        { "backslash in the address", "", "http://h/a\\b/clouds.jpg", true, "images/clouds.jpg" },
        { "address without a slash", "/x", "clouds.jpg", true, "images/clouds.jpg" },
        { "already there in other letter case", "UPPER", "http://h/c.jpg", std::nullopt, "UPPER" },
    };
    for (const auto& c : cases) {
        dialogs.asked.clear();
        const QString destination = c.destination == "UPPER" ? imagesFolder().toUpper() + "c.jpg" : c.destination;
        settings.setText("edtFileDestination", destination);
        settings.setText("edtWebAdress", c.address);
        dialogs.queueFile("/usr/bin/xplanet");
        if (c.answer)
            dialogs.queueYesNo(*c.answer);
        render.btnAppFileClick();

        const QString expected = c.result.startsWith("images/") ? rendererFolder() + c.result
            : c.result == "UPPER"                               ? destination
                                                                : c.result;
        EXPECT_EQ(settings.text("edtFileDestination"), expected) << c.label;
        EXPECT_TRUE(dialogs.allAnswersUsed()) << c.label;
        if (c.answer) {
            ASSERT_EQ(dialogs.asked.size(), 2u) << c.label;
            EXPECT_EQ(dialogs.asked[1].kind, gw::MessageKind::Confirmation) << c.label;
            EXPECT_EQ(dialogs.asked[1].what, "okcancel") << c.label;
            EXPECT_EQ(dialogs.asked[1].text,
                "Change the download destination path\nfrom: " + destination + "\nto: " + imagesFolder())
                << c.label;
        } else {
            EXPECT_EQ(dialogs.asked.size(), 1u) << c.label;
        }
    }
}

TEST_F(RendererChoiceTest, ChoosingTheFileRunBefore)
{
    settings.setText("edtExecuteBefore", "/home/u/scripts/pre.sh");
    dialogs.queueFile({});
    render.btnExecuteBeforeClick();
    EXPECT_EQ(settings.text("edtExecuteBefore"), "/home/u/scripts/pre.sh") << "cancel changes nothing";

    dialogs.queueFile("/home/u/other/fetch");
    render.btnExecuteBeforeClick();
    EXPECT_EQ(settings.text("edtExecuteBefore"), "/home/u/other/fetch");

    const gw::FileDialogRequest& r = dialogs.asked[0].request;
    EXPECT_EQ(r.title, "select file to be executed before rendering");
    EXPECT_EQ(r.proposedFile, "/home/u/scripts/pre.sh");
    EXPECT_EQ(r.startFolder, "/home/u/scripts/");
    EXPECT_EQ(r.filter, "Executebles (*.sh)|*.sh|All files (*)|*") << "all files includes names without a dot";
    EXPECT_EQ(r.selectedFilter, 1) << "and is shown first: scripts need no extension";
}

TEST_F(RendererChoiceTest, MissingRendererAsksUntilChosen)
{
    settings.setText("edtAppFile", tmp.file("nowhere/xplanet"));
    settings.setText("edtFileDestination", imagesFolder() + "clouds.jpg");
    const QString script = writeScript(tmp.file("bin/xplanet"), "echo rendered");
    dialogs.queueFile(script);

    render.StartXPlanet();

    ASSERT_EQ(dialogs.asked.size(), 2u);
    EXPECT_EQ(dialogs.asked[0].kind, gw::MessageKind::Information);
    EXPECT_EQ(dialogs.asked[0].text, "Please choose an Application to lauch");
    EXPECT_EQ(dialogs.asked[1].what, "open");
    EXPECT_EQ(messages.lines.count("rendered"), 1) << "the render ran once with the chosen renderer";
    EXPECT_EQ(killStates, (QList<bool> { true, false, true, false })) << "the render started again from the start";
    EXPECT_FALSE(state.RenderBusy);
}

TEST_F(RendererChoiceTest, CancellingTheChoiceIsAWayOut)
{
    const QString missing = tmp.file("nowhere/xplanet");
    settings.setText("edtAppFile", missing);

    dialogs.queueFile({});
    render.StartXPlanet(RenderControl::Trigger::Background);
    EXPECT_EQ(dialogs.asked.size(), 2u) << "asked once, then cancelled: no loop";
    EXPECT_FALSE(state.RenderBusy);
    EXPECT_EQ(state.LastRenderTime, 0);
    EXPECT_EQ(log.lines.size(), 1) << "one line says why timed renders stop";

    render.StartXPlanet(RenderControl::Trigger::Background);
    render.StartXPlanet();
    EXPECT_EQ(dialogs.asked.size(), 2u) << "timer renders stay quiet for the declined path";

    dialogs.queueFile({});
    render.btnExecuteClick();
    EXPECT_EQ(dialogs.asked.size(), 4u) << "a render the user asks for asks again";

    settings.setText("edtAppFile", tmp.file("elsewhere/xplanet"));
    dialogs.queueFile({});
    render.StartXPlanet(RenderControl::Trigger::Background);
    EXPECT_EQ(dialogs.asked.size(), 6u) << "another missing path is asked about";
    EXPECT_TRUE(dialogs.allAnswersUsed());
}

TEST_F(RendererChoiceTest, ReadmeOpensTheRenderersOwnFileOrTheUnpackedSystemReadme)
{
    QStringList opened;
    render.setFileOpener([&](const QString& path) {
        opened << path;
        return true;
    });

    const QString system = render.layout().systemReadme();
    if (QFileInfo::exists(system)) {
        render.btnInfoClick();
        ASSERT_EQ(opened.size(), 1);
        EXPECT_TRUE(opened[0].startsWith(tmp.file("cache"))) << "unpacked into the cache folder";
        EXPECT_TRUE(opened[0].endsWith(".txt")) << "opens with the text editor";
        QProcess gzip;
        gzip.start("gzip", { "-dc", system });
        ASSERT_TRUE(gzip.waitForFinished(30000));
        EXPECT_EQ(gwtest::readFile(opened[0]), gzip.readAllStandardOutput()) << "unpacked whole";
    }

    opened.clear();
    gwtest::writeFile(rendererFolder() + "readme.txt", "own readme");
    render.btnInfoClick();
    EXPECT_EQ(opened, QStringList { rendererFolder() + "readme.txt" }) << "a readme in the renderer folder wins";
}

} // namespace
