// After the desktop shows a render's pictures: the copies "Save the output image file" keeps,
// and the picture the tray menu opens.
#include "renderer/RenderControl.h"

#include "renderer/CommandLine.h"
#include "renderer/DesktopFileCopy.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/Clock.h"
#include "shared/DateTime.h"
#include "shared/LogSink.h"

namespace gw {

void RenderControl::keepPictures(DesktopKind kind, const QVector<Picture>& pictures, bool filesStay)
{
    QStringList files;
    if (m_settings.checked(ctl::cbSaveDesktopFile)) {
        const QStringList own = m_settings.checked(ctl::rbStringParameter)
            ? splitArguments(m_settings.text(ctl::edtParameter))
            : QStringList();
        const QString error = keepDesktopFiles(pictures, desktopFileFolder(own, layout().rendererFolder()), &files);
        if (!error.isEmpty())
            logBackground(kind, QStringLiteral("the output image file was not saved: ") + error);
    }
    if (files.isEmpty() && filesStay)
        for (const Picture& picture : pictures)
            if (!picture.file.isEmpty())
                files << picture.file;
    emit pictureFilesChanged(files);
}

} // namespace gw
