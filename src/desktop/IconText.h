#pragma once
// The colour of the desktop icon captions and their transparent background. Linux desktops
// draw their icon captions themselves and offer no way to change them from outside, so making
// the background transparent does nothing here; the colour choice, its preview and its
// setting still work.
#include <QColor>
#include <functional>

namespace gw {

class Dialogs;
class SettingsAccess;

class IconText
{
public:
    using Preview = std::function<void(const QColor&)>;

    // `preview` sets the font colour of the sample label lbIconText.
    IconText(SettingsAccess& settings, Dialogs& dialogs, Preview preview);

    // Every trigger (button, tray menu, settings load, start-up, after a render) ends here.
    void btnMakeBGTransparentClick();
    // Asks for a colour starting from the current one; a confirmed choice becomes the
    // "ColorDialog" setting and the preview's colour. The desktop is not touched.
    void btnIconTextColorClick();
    // Shows the current colour in the preview (after the settings are loaded).
    void updatePreview();

    QColor iconTextColor() const;

private:
    SettingsAccess& m_settings;
    Dialogs& m_dialogs;
    Preview m_preview;
};

} // namespace gw
