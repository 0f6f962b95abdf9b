#pragma once
// Where the user sees a transfer: the percent globe in the tray, the progress bar, the byte
// count in the status bar and the busy cursor. The composition root connects the engine here.
namespace gw {

class DownloadEngine;
class SettingsAccess;
class TrayImage;
class TransferDisplay;

void showTransfers(DownloadEngine& engine, TrayImage& tray, TransferDisplay& display, const SettingsAccess& settings);

} // namespace gw
