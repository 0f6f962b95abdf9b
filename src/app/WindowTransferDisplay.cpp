#include "app/WindowTransferDisplay.h"

#include <QApplication>
#include <QProgressBar>

#include <algorithm>
#include <limits>

namespace gw {

namespace {
    constexpr qint64 IntMax = std::numeric_limits<int>::max();
}

WindowTransferDisplay::WindowTransferDisplay(QProgressBar* bar, std::function<void(const QString&)> statusPanel1)
    : m_bar(bar)
    , m_statusPanel1(std::move(statusPanel1))
{
}

// A cursor still set when the window goes would stay for good.
WindowTransferDisplay::~WindowTransferDisplay()
{
    setBusyCursor(false);
}

void WindowTransferDisplay::setProgressMax(qint64 max)
{
    m_max = max;
    m_shift = 0;
    while ((std::max<qint64>(max, 0) >> m_shift) > IntMax)
        ++m_shift;
    if (m_bar)
        m_bar->setMaximum(static_cast<int>(std::max<qint64>(max, 0) >> m_shift));
}

void WindowTransferDisplay::setProgressPosition(qint64 position)
{
    if (!m_bar)
        return;
    const qint64 scaled = std::clamp<qint64>(position >> m_shift, 0, m_bar->maximum());
    m_bar->setValue(static_cast<int>(scaled));
}

void WindowTransferDisplay::setStatusPanel1(const QString& text)
{
    if (m_statusPanel1)
        m_statusPanel1(text);
}

void WindowTransferDisplay::setBusyCursor(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

} // namespace gw
