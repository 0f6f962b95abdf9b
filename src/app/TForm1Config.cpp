// The "XPlanet Configuration" tab: the configuration file and body choice, the edit controls
// of the body's keys, "Apply changes", the image choosers, and the marker and satellite lists
// with their popup menus.
#include "app/TForm1.h"

#include "app/SpinEdit.h"
#include "app/WidgetSettings.h"
#include "desktop/DesktopUtility.h"
#include "renderer/ConfigEditor.h"
#include "renderer/MarkerSatelliteFiles.h"

#include "ui_TForm1.h"

#include <QMenu>
#include <QMouseEvent>

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

void TForm1::wireConfig()
{
    m_configEditor = std::make_unique<gw::ConfigEditor>(*m_settings, *m_dialogs);
    gw::ConfigEditor* editor = m_configEditor.get();
    // The settings load fills these controls too; their change handlers must not write then.
    editor->setSettingsLoadingProbe([this] { return m_settingsFile->ConfigLoading(); });
    m_markerSatelliteFiles = std::make_unique<gw::MarkerSatelliteFiles>(
        *m_settings, *m_dialogs, *editor, [this](const QString& file, const QString& extension) {
            m_desktopUtility->StartFileWithExtension(file, extension);
        });
    gw::MarkerSatelliteFiles* lists = m_markerSatelliteFiles.get();

    m_hooks.getConfigs = [editor] { editor->getConfigs(); };
    m_hooks.ddbConfigChange = [editor] { editor->ddbConfigChange(); };
    onUserChange(m_ui->ddbBodyTarget, [editor] { editor->ddbBodyTargetChange(); });

    // An edit field's change fires on every change, by code too (the image choosers); the
    // editor itself keeps still while it fills the fields.
    on(m_ui->map, &QLineEdit::textChanged, [editor] { editor->mapChange(); });
    on(m_ui->night_map, &QLineEdit::textChanged, [editor] { editor->night_mapChange(); });
    on(m_ui->cloud_map, &QLineEdit::textChanged, [editor] { editor->cloud_mapChange(); });
    on(m_ui->cbDrawOrbit, &QCheckBox::toggled, [editor] { editor->cbDrawOrbitClick(); });
    on(m_ui->seMagnify, &QSpinBox::valueChanged, [editor] { editor->seMagnifyChange(); });
    on(m_ui->btnColor, &QPushButton::clicked, [editor] { editor->btnColorClick(); });
    on(m_ui->btnOrbitColor, &QPushButton::clicked, [editor] { editor->btnOrbitColorClick(); });
    on(m_ui->btnApplyChanges, &QPushButton::clicked, [editor] { editor->btnApplyChangesClick(); });
    on(m_ui->btnDayImage, &QPushButton::clicked, [editor] { editor->btnDayImageClick(); });
    on(m_ui->btnNightImage, &QPushButton::clicked, [editor] { editor->btnNightImageClick(); });
    on(m_ui->btnCloudImage, &QPushButton::clicked, [editor] { editor->btnCloudImageClick(); });
    on(m_ui->btnBackImage, &QPushButton::clicked, [editor] { editor->btnBackImageClick(); });

    QListWidget* markers = m_ui->mMarkerfiles;
    QListWidget* satellites = m_ui->mSatfiles;
    on(m_ui->btnChoosMarkerfile, &QPushButton::clicked, [lists] { lists->btnChoosMarkerfileClick(); });
    on(m_ui->btnChooseSatellite, &QPushButton::clicked, [lists] { lists->btnChooseSatelliteClick(); });
    auto removeMarkers = [lists, markers] { lists->btnRemoveMarkerfileClick(selectedRows(markers)); };
    auto removeSatellites = [lists, satellites] { lists->btnRemoveSatelliteClick(selectedRows(satellites)); };
    on(m_ui->btnRemoveMarkerfile, &QPushButton::clicked, removeMarkers);
    on(m_ui->Deletefromlist1, &QAction::triggered, removeMarkers);
    on(m_ui->btnRemoveSatellite, &QPushButton::clicked, removeSatellites);
    on(m_ui->Deletefromlist2, &QAction::triggered, removeSatellites);
    on(m_ui->Openineditor1, &QAction::triggered,
        [lists, markers] { lists->Openineditor1Click(selectedRows(markers)); });
    on(m_ui->Openineditor2, &QAction::triggered,
        [lists, satellites] { lists->Openineditor2Click(selectedRows(satellites)); });
    markers->viewport()->installEventFilter(this);
    satellites->viewport()->installEventFilter(this);
}

// mMarkerfilesMouseDown and mSatfilesMouseDown. A right press is used up here, so the list's
// own selection handling does not undo the selection made for the menu.
bool TForm1::listMouseDown(QListWidget* list, QMenu* menu, QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const QListWidgetItem* item = list->itemAt(pos);
    const bool right = event->button() == Qt::RightButton;
    const auto result = gw::MarkerSatelliteFiles::listMouseDown(right, item ? list->row(item) : -1);
    if (result.clearSelection)
        list->clearSelection();
    if (result.selectRow >= 0 && result.selectRow < list->count()) {
        list->item(result.selectRow)->setSelected(true);
        list->setCurrentRow(result.selectRow, QItemSelectionModel::NoUpdate);
    }
    if (result.openMenu)
        menu->popup(list->viewport()->mapToGlobal(pos));
    return right;
}
