#pragma once
// A temporary home with the renderer folders, settings in memory that fire the change
// handlers of the configuration tab the way the window's controls do, and scripted dialogs.
#include "renderer/ConfigEditor.h"
#include "settings/MemorySettings.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

namespace gwtest {

class TabSettings : public gw::MemorySettings
{
public:
    gw::ConfigEditor* editor = nullptr;

    void setText(const QString& name, const QString& value) override
    {
        const bool changed = text(name) != value;
        MemorySettings::setText(name, value);
        if (!changed || !editor)
            return;
        if (name == QLatin1String("map"))
            editor->mapChange();
        else if (name == QLatin1String("night_map"))
            editor->night_mapChange();
        else if (name == QLatin1String("cloud_map"))
            editor->cloud_mapChange();
    }
    void setChecked(const QString& name, bool value) override
    {
        const bool changed = checked(name) != value;
        MemorySettings::setChecked(name, value);
        if (changed && editor && name == QLatin1String("cbDrawOrbit"))
            editor->cbDrawOrbitClick();
    }
    void setInteger(const QString& name, int value) override
    {
        const bool changed = integer(name) != value;
        MemorySettings::setInteger(name, value);
        if (changed && editor && name == QLatin1String("seMagnify"))
            editor->seMagnifyChange();
    }
};

class ConfigTab : public ::testing::Test
{
protected:
    ConfigTab()
        : editor(settings, dialogs, home.path())
    {
        settings.editor = &editor;
        editor.layout().ensureFolders();
    }

    QString configFolder() const { return editor.layout().configFolder(); }
    QString tarn() const { return editor.workingFile(); }
    bool tarnWritten() const { return QFile::exists(tarn()); }
    QStringList tarnLines() const { return gw::readConfigFile(tarn()).lines; }

    // Writes a per-user configuration and selects it with a body, as settings loading does.
    void select(const QString& name, const QByteArray& content, const QString& body = QStringLiteral("earth"))
    {
        if (!content.isNull())
            writeFile(configFolder() + name, content);
        settings.MemorySettings::setText(QStringLiteral("ddbConfig"), name);
        settings.MemorySettings::setText(QStringLiteral("ddbBodyTarget"), body);
        editor.ddbConfigChange();
    }

    TempDir home;
    TabSettings settings;
    gw::ScriptedDialogs dialogs;
    gw::ConfigEditor editor;
};

} // namespace gwtest
