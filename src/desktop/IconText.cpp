#include "desktop/IconText.h"

#include "settings/SettingsAccess.h"
#include "shared/Dialogs.h"

namespace gw {

namespace {
const QString kColour = QStringLiteral("ColorDialog");
} // namespace

QColor colorFromColorRef(int value)
{
    const auto v = static_cast<quint32>(value);
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

int colorRefFromColor(const QColor& colour)
{
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

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
    m_settings.setInteger(kColour, colorRefFromColor(*chosen));
    updatePreview();
}

void IconText::updatePreview()
{
    if (m_preview)
        m_preview(iconTextColor());
}

QColor IconText::iconTextColor() const
{
    return colorFromColorRef(m_settings.integer(kColour));
}

} // namespace gw
