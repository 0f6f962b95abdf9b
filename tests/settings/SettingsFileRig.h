#pragma once
// A program's settings side in a test: the settings, hooks that record what the loader asked
// of the rest of the program, and the settings file over a program folder.
#include "settings/MemorySettings.h"
#include "settings/SettingsFile.h"
#include "shared/Error.h"

#include "support/TempDir.h"
#include <QStringList>
#include <QVariant>
#include <gtest/gtest.h>
#include <vector>

namespace gwtest {

class RecordingHooks : public gw::SettingsFileHooks
{
public:
    explicit RecordingHooks(gw::SettingsAccess& settings)
        : m_settings(settings)
    {
    }

    void configFileLabelChanged(const QString& caption) override { label = caption; }
    // Like the tray menu item: a click flips the master switch.
    void GlobewallenabledClick() override
    {
        ++masterClicks;
        if (clickFlips)
            m_settings.setChecked(
                QStringLiteral("Globewallenabled"), !m_settings.checked(QStringLiteral("Globewallenabled")));
    }
    void getConfigs() override { record("getConfigs"); }
    void ddbConfigChange() override
    {
        record("ddbConfigChange");
        if (failConfigChange)
            throw gw::Error(QStringLiteral("renderer configuration unreadable"));
    }
    void detectAutostart() override { record("detectAutostart"); }
    void btnMakeBGTransparentClick() override { record("btnMakeBGTransparentClick"); }
    void edtParameterChange() override { record("edtParameterChange"); }
    void cbProjektionChange() override { record("cbProjektionChange"); }
    void iconFontColorChanged(int colour) override { iconColour = colour; }
    QString defaultCloudDestination() override { return cloudDestination; }
    void logLine(const QString& line) override { logLines << line; }

    const gw::SettingsFile* file = nullptr;
    QStringList calls; // with "*" when ConfigLoading was set at the call
    QStringList logLines;
    QString label;
    int masterClicks = 0;
    int iconColour = -1;
    bool clickFlips = true;
    bool failConfigChange = false;
    QString cloudDestination = QStringLiteral("/home/user/.xplanet/images/clouds_2048.jpg");

private:
    void record(const char* name)
    {
        calls << QString::fromLatin1(name) + (file && file->ConfigLoading() ? QStringLiteral("*") : QString());
    }
    gw::SettingsAccess& m_settings;
};

struct Program
{
    // A screen of its own, so the defaults do not depend on the machine's.
    static constexpr QSize screen { 1280, 800 };

    explicit Program(const QString& programDir, gw::PasswordVault* vault = nullptr)
        : file(settings, hooks, programDir, screen, vault)
    {
        hooks.file = &file;
    }
    gw::MemorySettings settings;
    RecordingHooks hooks { settings };
    gw::SettingsFile file;
};

// An expected setting: a bool is a check mark, an int a number, a text a text.
struct Expected
{
    const char* control;
    QVariant value;
};

inline void expectSettings(const gw::SettingsAccess& s, const std::vector<Expected>& rows, const char* where)
{
    for (const Expected& r : rows) {
        const QString name = QString::fromLatin1(r.control);
        if (r.value.typeId() == QMetaType::Bool)
            EXPECT_EQ(s.checked(name), r.value.toBool()) << where << ": " << r.control;
        else if (r.value.typeId() == QMetaType::Int)
            EXPECT_EQ(s.integer(name), r.value.toInt()) << where << ": " << r.control;
        else
            EXPECT_EQ(s.text(name), r.value.toString()) << where << ": " << r.control;
    }
}

inline void applySettings(gw::SettingsAccess& s, const std::vector<Expected>& rows)
{
    for (const Expected& r : rows) {
        const QString name = QString::fromLatin1(r.control);
        if (r.value.typeId() == QMetaType::Bool)
            s.setChecked(name, r.value.toBool());
        else if (r.value.typeId() == QMetaType::Int)
            s.setInteger(name, r.value.toInt());
        else
            s.setText(name, r.value.toString());
    }
}

// Every row set to something else, so a row only passes when the loader wrote it.
inline void spoilSettings(gw::SettingsAccess& s, const std::vector<Expected>& rows)
{
    for (const Expected& r : rows) {
        const QString name = QString::fromLatin1(r.control);
        if (r.value.typeId() == QMetaType::Bool)
            s.setChecked(name, !r.value.toBool());
        else if (r.value.typeId() == QMetaType::Int)
            s.setInteger(name, r.value.toInt() == 7 ? 8 : 7);
        else
            s.setText(name, QStringLiteral("stale"));
    }
}

} // namespace gwtest
