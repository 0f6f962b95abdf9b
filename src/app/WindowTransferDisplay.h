#pragma once
// What a download shows in the main window besides the tray icon: the progress bar, panel 1
// of the status bar and the busy cursor. The bar holds int only, so a transfer of 2 GiB or
// more is shown scaled down by a power of two; the maximum reads back unscaled.
#include "net/TransferDisplay.h"

#include <QPointer>
#include <functional>

class QProgressBar;

namespace gw {

class WindowTransferDisplay : public TransferDisplay
{
public:
    WindowTransferDisplay(QProgressBar* bar, std::function<void(const QString&)> statusPanel1);
    ~WindowTransferDisplay() override;

    qint64 progressMax() const override { return m_max; }
    void setProgressMax(qint64 max) override;
    void setProgressPosition(qint64 position) override;
    void setStatusPanel1(const QString& text) override;
    void setBusyCursor(bool busy) override;

    int shift() const { return m_shift; }

private:
    QPointer<QProgressBar> m_bar;
    std::function<void(const QString&)> m_statusPanel1;
    qint64 m_max = 0;
    int m_shift = 0;
    bool m_busy = false;
};

} // namespace gw
