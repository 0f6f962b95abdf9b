// The "XPlanet Configuration" tab: the configuration file and body choice, the edit controls
// of the body's keys, "Apply changes", the image choosers, and the marker and satellite lists
// with their popup menus.
#include "app/AppCore.h"
#include "app/MainWindow.h"
#include "app/WidgetSettings.h"
#include "desktop/DesktopUtility.h"
#include "renderer/ConfigEditor.h"
#include "renderer/MarkerSatelliteFiles.h"

#include "ui_MainWindow.h"

namespace gw {

namespace {

    QList<int> selectedRows(const QListWidget* list)
    {
        QList<int> rows;
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->isSelected())
                rows << i;
        return rows;
    }

} // namespace

void AppCore::wireConfig()
{
    Ui::MainWindow* ui = m_window->ui();
    m_configEditor = std::make_unique<ConfigEditor>(*m_settings, dialogs());
    ConfigEditor* editor = m_configEditor.get();
    // The settings load fills these controls too; their change handlers must not write then.
    editor->setSettingsLoadingProbe([this] { return m_settingsFile->ConfigLoading(); });
    m_markerSatelliteFiles = std::make_unique<MarkerSatelliteFiles>(
        *m_settings, dialogs(), *editor, [this](const QString& file, const QString& extension) {
            m_desktopUtility->StartFileWithExtension(file, extension);
        });
    MarkerSatelliteFiles* lists = m_markerSatelliteFiles.get();

    onUserChange(ui->ddbBodyTarget, [editor] { editor->ddbBodyTargetChange(); });
    // An edit field's change fires on every change, by code too (the image choosers); the
    // editor itself keeps still while it fills the fields.
    on(ui->map, &QLineEdit::textChanged, [editor] { editor->mapChange(); });
    on(ui->night_map, &QLineEdit::textChanged, [editor] { editor->night_mapChange(); });
    on(ui->cloud_map, &QLineEdit::textChanged, [editor] { editor->cloud_mapChange(); });
    on(ui->cbDrawOrbit, &QCheckBox::toggled, [editor] { editor->cbDrawOrbitClick(); });
    on(ui->seMagnify, &QSpinBox::valueChanged, [editor] { editor->seMagnifyChange(); });
    on(ui->btnColor, &QPushButton::clicked, [editor] { editor->btnColorClick(); });
    on(ui->btnOrbitColor, &QPushButton::clicked, [editor] { editor->btnOrbitColorClick(); });
    on(ui->btnApplyChanges, &QPushButton::clicked, [editor] { editor->btnApplyChangesClick(); });
    on(ui->btnDayImage, &QPushButton::clicked, [editor] { editor->btnDayImageClick(); });
    on(ui->btnNightImage, &QPushButton::clicked, [editor] { editor->btnNightImageClick(); });
    on(ui->btnCloudImage, &QPushButton::clicked, [editor] { editor->btnCloudImageClick(); });
    on(ui->btnBackImage, &QPushButton::clicked, [editor] { editor->btnBackImageClick(); });

    QListWidget* markers = ui->mMarkerfiles;
    QListWidget* satellites = ui->mSatfiles;
    on(ui->btnChoosMarkerfile, &QPushButton::clicked, [lists] { lists->btnChoosMarkerfileClick(); });
    on(ui->btnChooseSatellite, &QPushButton::clicked, [lists] { lists->btnChooseSatelliteClick(); });
    auto removeMarkers = [lists, markers] { lists->btnRemoveMarkerfileClick(selectedRows(markers)); };
    auto removeSatellites = [lists, satellites] { lists->btnRemoveSatelliteClick(selectedRows(satellites)); };
    on(ui->btnRemoveMarkerfile, &QPushButton::clicked, removeMarkers);
    on(ui->Deletefromlist1, &QAction::triggered, removeMarkers);
    on(ui->btnRemoveSatellite, &QPushButton::clicked, removeSatellites);
    on(ui->Deletefromlist2, &QAction::triggered, removeSatellites);
    on(ui->Openineditor1, &QAction::triggered, [lists, markers] { lists->Openineditor1Click(selectedRows(markers)); });
    on(ui->Openineditor2, &QAction::triggered,
        [lists, satellites] { lists->Openineditor2Click(selectedRows(satellites)); });
}

void AppCore::getConfigs()
{
    m_configEditor->getConfigs();
}

void AppCore::ddbConfigChange()
{
    m_configEditor->ddbConfigChange();
}

} // namespace gw
