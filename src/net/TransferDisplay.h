#pragma once
// What a download shows in the main window besides the tray icon: the progress bar
// `ProgressBar`, the second panel of the status bar `StatusBar1`, and the mouse cursor.
#include <QString>

namespace gw {

class TransferDisplay
{
public:
    virtual ~TransferDisplay() = default;
    // The progress bar counts bytes; a window whose bar holds only int may scale both values.
    virtual qint64 progressMax() const = 0;
    virtual void setProgressMax(qint64 max) = 0;
    virtual void setProgressPosition(qint64 position) = 0;
    virtual void setStatusPanel1(const QString& text) = 0;
    // The application-starting cursor (arrow with hourglass) while true, the default otherwise.
    virtual void setBusyCursor(bool busy) = 0;
};

} // namespace gw
