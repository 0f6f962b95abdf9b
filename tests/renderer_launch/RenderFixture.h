#pragma once
// A RenderControl wired to settings, dialogs, log, message window and tray kept in memory,
// with a temporary home for the renderer folder and a shell script as the renderer.
#include "renderer/CommandLine.h"
#include "renderer/ParameterList.h"
#include "renderer/RenderControl.h"
#include "settings/MemorySettings.h"
#include "shared/AppState.h"
#include "shared/LogSink.h"
#include "shared/TrayImage.h"
#include "support/ManualClock.h"
#include "support/MemorySinks.h"
#include "support/ScriptedDialogs.h"

#include "LaunchSupport.h"
#include "support/TempDir.h"

#include <QDir>
#include <QList>

#include <gtest/gtest.h>

namespace launchtest {

class FakeTray : public gw::TrayImage
{
public:
    gw::TrayList iconList() const override { return m_list; }
    void setIconList(gw::TrayList list) override { m_list = list; }
    int imageCount() const override { return 26; }
    int frameIndex() const override { return m_frame; }
    void setFrameIndex(int index) override { m_frame = index; }
    bool animate() const override { return m_animate; }
    void setAnimate(bool on) override
    {
        m_animate = on;
        if (on)
            ++animationsStarted;
    }
    int animationsStarted = 0;

private:
    gw::TrayList m_list = gw::TrayList::Globe;
    int m_frame = 3;
    bool m_animate = false;
};

class RenderFixture : public ::testing::Test
{
protected:
    RenderFixture()
        : clock(45000.5)
        , render(settings, state, log, messages, dialogs, tray, clock, [this] { ++transparencyCalls; })
    {
        render.setHome(tmp.path());
        render.setCacheFolder(tmp.file("cache"));
        QObject::connect(&render, &gw::RenderControl::killEnabledChanged, [this](bool on) { killStates << on; });
    }
    void SetUp() override { m_cwd = QDir::currentPath(); }
    void TearDown() override { QDir::setCurrent(m_cwd); }

    QString rendererFolder() const { return tmp.path() + QStringLiteral("/.xplanet/"); }

    // A renderer that prints its arguments, then runs `extra`.
    QString installRenderer(const QByteArray& extra = {})
    {
        const QString path = writeScript(tmp.file("bin/xplanet"), printArgs() + "\n" + extra);
        settings.setText(QStringLiteral("edtAppFile"), path);
        return path;
    }

    QStringList parameterList() const { return gw::GenParameterListFromNewEasy(settings, render.layout()); }

    // The block the message window gets after a render.
    static QStringList block(const QStringList& params, const QStringList& output)
    {
        return QStringList { QStringLiteral("Parameter:") } + params
            + QStringList { QString(46, QLatin1Char('-')), QStringLiteral("Output:") } + output
            + QStringList { QString(46, QLatin1Char('=')), QString() };
    }

    static QStringList bracketed(const QStringList& args)
    {
        QStringList out;
        for (const QString& a : args)
            out << QLatin1Char('[') + a + QLatin1Char(']');
        return out;
    }

    gwtest::TempDir tmp;
    gw::MemorySettings settings;
    gw::AppState state;
    gw::MemoryLog log;
    gw::MemoryMessageWindow messages;
    gw::ScriptedDialogs dialogs;
    FakeTray tray;
    gw::ManualClock clock;
    int transparencyCalls = 0;
    gw::RenderControl render;
    QList<bool> killStates;

private:
    QString m_cwd;
};

} // namespace launchtest
