// The desktop side of the window: the utility component with the version label and the link
// labels, the projection preview, "Globewall at Startup" and the icon caption controls.
#include "app/AppCore.h"
#include "app/LinkLabel.h"
#include "app/MainWindow.h"
#include "app/WidgetSettings.h"
#include "desktop/Autostart.h"
#include "desktop/DesktopUtility.h"
#include "desktop/IconText.h"
#include "renderer/ui/ProjectionPictures.h"
#include "settings/SettingNames.h"

#include "ui_MainWindow.h"

namespace gw {

void AppCore::wireDesktop()
{
    Ui::MainWindow* ui = m_window->ui();
    m_desktopUtility = m_options.launcher ? std::make_unique<DesktopUtility>(*m_options.launcher)
                                          : std::make_unique<DesktopUtility>();
    m_desktopUtility->setObjectName(QStringLiteral("ZavAduva1"));
    DesktopUtility* utility = m_desktopUtility.get();
    on(ui->lbWWW, &LinkLabel::clicked, [utility, ui] { utility->openUrl(ui->lbWWW->text()); });
    on(ui->lbEMail, &LinkLabel::clicked, [utility, ui] { utility->openMail(ui->lbEMail->text()); });
    on(ui->lbXplanetHome, &LinkLabel::clicked, [utility, ui] { utility->openUrl(ui->lbXplanetHome->text()); });

    m_autostart = std::make_unique<Autostart>(*m_settings);
    Autostart* autostart = m_autostart.get();
    // On the user's click only: the detection after a load selects the buttons itself.
    on(ui->rbYes, &QRadioButton::clicked, [autostart] { autostart->rbYesClick(); });
    on(ui->rbNo, &QRadioButton::clicked, [autostart] { autostart->rbNoClick(); });

    m_iconText = std::make_unique<IconText>(*m_settings, m_window->dialogs(), [ui](const QColor& colour) {
        QPalette p = ui->lbIconText->palette();
        p.setColor(QPalette::WindowText, colour);
        ui->lbIconText->setPalette(p);
    });
    IconText* iconText = m_iconText.get();
    on(ui->btnIconTextColor, &QPushButton::clicked, [iconText] { iconText->btnIconTextColorClick(); });
}

void AppCore::detectAutostart()
{
    m_autostart->detect();
}

// A missing picture (an entry typed that the list does not hold) keeps the previous one.
void AppCore::cbProjektionChange()
{
    const QComboBox* combo = m_window->ui()->cbProjektion;
    const int entry = projectionEntryFor(combo->currentText(), combo->currentIndex());
    if (entry >= 0)
        m_window->showProjection(entry);
}

void AppCore::btnMakeBGTransparentClick()
{
    m_iconText->btnMakeBGTransparentClick();
}

void AppCore::iconFontColorChanged(int colour)
{
    m_settings->setInteger(ctl::ColorDialog, colour);
}

} // namespace gw
