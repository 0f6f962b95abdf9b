// The settings commands of the main window and the steps of the settings load that reach
// into the window or into other subsystems.
#include "app/AppCore.h"
#include "app/MainWindow.h"
#include "app/TransferLog.h"
#include "app/WidgetSettings.h"
#include "downloads/CloudSources.h"
#include "renderer/RendererLayout.h"
#include "settings/SettingNames.h"
#include "shared/Clock.h"
#include "shared/DateTime.h"
#include "shared/Paths.h"
#include "timesync/ui/TimeServerEditor.h"

#include "ui_MainWindow.h"

namespace gw {

namespace {
    FileDialogRequest configDialog(const QString& title, const QString& current)
    {
        FileDialogRequest r;
        r.title = title;
        r.proposedFile = current;
        r.filter = QStringLiteral("ini-File (*.ini)|*.ini");
        r.defaultExtension = QStringLiteral("ini");
        r.startFolder = folderOf(current);
        return r;
    }
} // namespace

void AppCore::btnIniSaveClick()
{
    m_settingsFile->IniSave(m_settingsFile->ConfigFileName());
}

void AppCore::btIniSaveAsClick()
{
    const QString file
        = dialogs().getSaveFile(configDialog(QStringLiteral("Save Config as..."), m_settingsFile->ConfigFileName()));
    if (file.isEmpty())
        return;
    m_settingsFile->IniSave(file);
}

// The base file is not written here; it records the new name at the next save. An edit of a
// time server ends first: the entry it follows belongs to the list being replaced.
void AppCore::btnIniLoadClick()
{
    const QString file
        = dialogs().getOpenFile(configDialog(QStringLiteral("Open Config as..."), m_settingsFile->ConfigFileName()));
    if (file.isEmpty())
        return;
    m_timeServerEditor->resetEditing();
    m_settingsFile->setConfigFileName(file);
    m_settingsFile->IniLoad(file);
}

// ---------------------------------------------------------------------------------------
// The steps of the settings load that belong to no subsystem.
void AppCore::configFileLabelChanged(const QString& caption)
{
    m_window->ui()->lbConfigFileName->setText(caption);
}

// The field's hint mirrors its text; the window keeps it so at every change.
void AppCore::edtParameterChange()
{
    QLineEdit* field = m_window->ui()->edtParameter;
    field->setToolTip(field->text());
}

void AppCore::logLine(const QString& line)
{
    if (m_transferLog)
        m_transferLog->appendLine(DateTimeToStr(m_clock->now()) + line);
}

// A live cloud map address from the drop-down of an earlier version: the copy it names no
// longer changes, so the map would stay months old while every check reports success.
void AppCore::settingsRead()
{
    const QString stored = m_settings->text(ctl::edtWebAdress);
    const QString moved = cloudsources::movedAddress(stored);
    if (moved.isEmpty())
        return;
    m_settings->setText(ctl::edtWebAdress, moved);
    logLine(QStringLiteral(" - Cloud map address ") + stored + QStringLiteral(" moved to ") + moved);
}

QString AppCore::defaultCloudDestination()
{
    return RendererLayout(m_settings->text(ctl::edtAppFile)).defaultCloudDestination();
}

} // namespace gw
