// The desktop side of the window: the utility component with the version label and the link
// labels, the projection preview, "Globewall at Startup" and the icon caption controls.
#include "app/TForm1.h"

#include "app/LinkLabel.h"
#include "app/WidgetSettings.h"
#include "desktop/Autostart.h"
#include "desktop/DesktopUtility.h"
#include "renderer/ui/ProjectionPictures.h"

#include "ui_TForm1.h"

void TForm1::wireDesktop()
{
    m_desktopUtility = m_options.launcher ? std::make_unique<gw::DesktopUtility>(*m_options.launcher)
                                          : std::make_unique<gw::DesktopUtility>();
    m_desktopUtility->setObjectName(QStringLiteral("ZavAduva1"));
    on(m_ui->lbWWW, &gw::LinkLabel::clicked, [this] { lbWWWClick(); });
    on(m_ui->lbEMail, &gw::LinkLabel::clicked, [this] { lbEMailClick(); });
    on(m_ui->lbXplanetHome, &gw::LinkLabel::clicked, [this] { lbXplanetHomeClick(); });

    // A missing picture (an entry typed that the list does not hold) keeps the previous one.
    m_hooks.cbProjektionChange = [this] {
        const QComboBox* combo = m_ui->cbProjektion;
        const int entry = gw::projectionEntryFor(combo->currentText(), combo->currentIndex());
        if (entry < 0)
            return;
        // Decoded when the preview is seen: a start that stays in the tray decodes none.
        m_projectionToShow = entry;
        if (m_ui->imgProjection->isVisible())
            showProjectionPicture();
    };
    m_ui->imgProjection->installEventFilter(this);

    // Linux desktops draw their icon captions themselves: the caption controls have nothing to
    // act on here. They stay in place and keep their settings, so a settings file moved between
    // systems loses nothing, and say why they are off.
    const QString drawnByDesktop = QStringLiteral("Linux desktops draw icon captions themselves");
    auto captionControl = [&](auto* control) {
        const QString hint = control->toolTip();
        control->setToolTip(
            hint.isEmpty() ? drawnByDesktop : hint + QStringLiteral(" (") + drawnByDesktop + QLatin1Char(')'));
        control->setEnabled(false);
    };
    captionControl(m_ui->btnMakeBGTransparent);
    captionControl(m_ui->pmMakeDesktopIconBackgroundtransparent);
    captionControl(m_ui->cbMakeTransAtStart);
    captionControl(m_ui->cbRestoreTrans);
    captionControl(m_ui->btnIconTextColor);

    m_autostart = std::make_unique<gw::Autostart>(*m_settings);
    gw::Autostart* autostart = m_autostart.get();
    // On the user's click only: the detection after a load selects the buttons itself.
    on(m_ui->rbYes, &QRadioButton::clicked, [autostart] { autostart->rbYesClick(); });
    on(m_ui->rbNo, &QRadioButton::clicked, [autostart] { autostart->rbNoClick(); });
    m_hooks.detectAutostart = [autostart] { autostart->detect(); };
}

void TForm1::showProjectionPicture()
{
    if (m_projectionToShow < 0)
        return;
    m_ui->imgProjection->setPixmap(gw::projectionPicture(m_projectionToShow));
    m_projectionToShow = -1;
}

void TForm1::lbWWWClick()
{
    m_desktopUtility->openUrl(m_ui->lbWWW->text());
}

void TForm1::lbEMailClick()
{
    m_desktopUtility->openMail(m_ui->lbEMail->text());
}

void TForm1::lbXplanetHomeClick()
{
    m_desktopUtility->openUrl(m_ui->lbXplanetHome->text());
}
