#pragma once
// Character filters of the time list and the proxy port. They look at typed characters only:
// keys without text (arrows, Delete) and control characters (Tab, Escape, Ctrl+C/V) pass,
// and text put in by the settings loader is never checked.
#include <QObject>
#include <QString>

class QWidget;

#include <functional>

namespace gw {

// mTimeKeyPress: the digits, ":", backspace and Enter.
bool mTimeKeyPress(const QString& typed);
// edtProxyPortKeyPress: the digits and backspace.
bool edtProxyPortKeyPress(const QString& typed);

// Drops the key presses for which `passes` answers false.
class KeyPressFilter : public QObject
{
public:
    KeyPressFilter(std::function<bool(const QString&)> passes, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<bool(const QString&)> m_passes;
};

// The render interval box: Enter moves the focus to the next control in tab order, and the
// key goes no further (the press neither, so nothing else acts on it).
class SpinEditKeyUp : public QObject
{
public:
    explicit SpinEditKeyUp(QWidget* box);

    // The control after `from` in tab order that can take the focus; null when there is none.
    static QWidget* nextInTabOrder(QWidget* from);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_box;
};

} // namespace gw
