#include "net/TransferProgress.h"

#include "net/DownloadEngine.h"
#include "net/TransferDisplay.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/TrayImage.h"

namespace gw {

void showTransfers(DownloadEngine& engine, TrayImage& tray, TransferDisplay& display, const SettingsAccess& settings)
{
    QObject::connect(
        &engine, &DownloadEngine::busyChanged, &engine, [&display](bool busy) { display.setBusyCursor(busy); });
    QObject::connect(&engine, &DownloadEngine::transferShown, &engine, [&tray] {
        tray.setIconList(TrayList::Percent);
        tray.setFrameIndex(0);
    });
    QObject::connect(
        &engine, &DownloadEngine::progressMaxChanged, &engine, [&display](qint64 max) { display.setProgressMax(max); });
    QObject::connect(
        &engine, &DownloadEngine::progressChanged, &engine, [&tray, &display](qint64 received, qint64 max) {
            display.setProgressPosition(received);
            display.setStatusPanel1(QString::number(received) + QLatin1Char('/') + QString::number(max));
            const int frame = DownloadEngine::progressFrame(tray.imageCount(), received, max);
            if (frame != tray.frameIndex())
                tray.setFrameIndex(frame);
        });
    QObject::connect(&engine, &DownloadEngine::transferFinished, &engine, [&tray, &display, &settings] {
        display.setProgressPosition(0);
        tray.setFrameIndex(0);
        tray.setIconList(TrayList::Globe);
        tray.setFrameIndex(0);
        // Switched off, the tray shows the crossed globe, the list's last frame.
        if (!settings.checked(ctl::Globewallenabled))
            tray.setFrameIndex(tray.imageCount() - 1);
    });
}

} // namespace gw
