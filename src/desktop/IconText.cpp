#include "desktop/IconText.h"

#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/ColorValue.h"
#include "shared/Dialogs.h"

namespace gw {

namespace {
    const QString kColour = ctl::ColorDialog;
} // namespace

IconText::IconText(SettingsAccess& settings, Dialogs& dialogs, Preview preview)
    : m_settings(settings)
    , m_dialogs(dialogs)
    , m_preview(std::move(preview))
{
}

void IconText::btnMakeBGTransparentClick()
{
    // No desktop icon list can be reached on Linux desktops: nothing to do, nothing to report.
}

void IconText::btnIconTextColorClick()
{
    const std::optional<QColor> chosen = m_dialogs.chooseColor(iconTextColor());
    if (!chosen || !chosen->isValid())
        return;
    m_settings.setInteger(kColour, qColorToColor(*chosen));
    updatePreview();
}

void IconText::updatePreview()
{
    if (m_preview)
        m_preview(iconTextColor());
}

QColor IconText::iconTextColor() const
{
    return colorToQColor(m_settings.integer(kColour));
}

} // namespace gw
