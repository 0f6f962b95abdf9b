// The settings commands of the main window and the steps of the settings load that reach
// into the window or into other subsystems.
#include "app/TForm1.h"

#include "app/TransferLog.h"
#include "app/WidgetSettings.h"
#include "renderer/RendererLayout.h"
#include "settings/SettingNames.h"
#include "shared/Clock.h"
#include "shared/DateTime.h"
#include "shared/Paths.h"

#include "ui_TForm1.h"

// ---------------------------------------------------------------------------------------
// Settings commands.
namespace {
gw::FileDialogRequest configDialog(const QString& title, const QString& current)
{
    gw::FileDialogRequest r;
    r.title = title;
    r.proposedFile = current;
    r.filter = QStringLiteral("ini-File (*.ini)|*.ini");
    r.defaultExtension = QStringLiteral("ini");
    r.startFolder = gw::folderOf(current);
    return r;
}
} // namespace

void TForm1::btnIniSaveClick()
{
    m_settingsFile->IniSave(m_settingsFile->ConfigFileName());
}

void TForm1::btIniSaveAsClick()
{
    const QString file
        = m_dialogs->getSaveFile(configDialog(QStringLiteral("Save Config as..."), m_settingsFile->ConfigFileName()));
    if (file.isEmpty())
        return;
    m_settingsFile->IniSave(file);
}

// The base file is not written here; it records the new name at the next save. An edit of a
// time server ends first: the entry it follows belongs to the list being replaced.
void TForm1::btnIniLoadClick()
{
    const QString file
        = m_dialogs->getOpenFile(configDialog(QStringLiteral("Open Config as..."), m_settingsFile->ConfigFileName()));
    if (file.isEmpty())
        return;
    call(m_hooks.resetTimeServerEditing);
    m_settingsFile->setConfigFileName(file);
    m_settingsFile->IniLoad(file);
}

// ---------------------------------------------------------------------------------------
// The steps of the settings load.
void TForm1::configFileLabelChanged(const QString& caption)
{
    m_ui->lbConfigFileName->setText(caption);
}

void TForm1::getConfigs()
{
    call(m_hooks.getConfigs);
}

void TForm1::ddbConfigChange()
{
    call(m_hooks.ddbConfigChange);
}

void TForm1::detectAutostart()
{
    call(m_hooks.detectAutostart);
}

void TForm1::btnMakeBGTransparentClick()
{
    call(m_hooks.btnMakeBGTransparentClick);
}

// The field's hint always mirrors its text.
void TForm1::edtParameterChange()
{
    m_ui->edtParameter->setToolTip(m_ui->edtParameter->text());
}

void TForm1::cbProjektionChange()
{
    call(m_hooks.cbProjektionChange);
}

void TForm1::iconFontColorChanged(int colour)
{
    m_settings->setInteger(gw::ctl::ColorDialog, colour);
}

void TForm1::logLine(const QString& line)
{
    if (m_transferLog)
        m_transferLog->appendLine(gw::DateTimeToStr(m_clock->now()) + line);
}

QString TForm1::defaultCloudDestination()
{
    return gw::RendererLayout(m_settings->text(gw::ctl::edtAppFile)).defaultCloudDestination();
}
