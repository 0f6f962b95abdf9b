#include "app/KeyFilters.h"

#include <QKeyEvent>
#include <QWidget>

namespace gw {

namespace {
    constexpr QChar Backspace(0x08);
    constexpr QChar Enter(0x0D);

    // A control character other than backspace and Enter is a command, not typed text.
    bool isCommand(QChar c)
    {
        return c != Backspace && c != Enter && (c.unicode() < 0x20 || c.unicode() == 0x7F);
    }

    bool passes(const QString& typed, QStringView allowed, bool enterAllowed)
    {
        if (typed.isEmpty())
            return true;
        for (QChar c : typed) {
            if (isCommand(c) || c == Backspace || (enterAllowed && c == Enter) || allowed.contains(c))
                continue;
            return false;
        }
        return true;
    }
} // namespace

bool mTimeKeyPress(const QString& typed)
{
    return passes(typed, u"0123456789:", true);
}

bool edtProxyPortKeyPress(const QString& typed)
{
    return passes(typed, u"0123456789", false);
}

KeyPressFilter::KeyPressFilter(std::function<bool(const QString&)> passes, QObject* parent)
    : QObject(parent)
    , m_passes(std::move(passes))
{
}

bool KeyPressFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!m_passes(key->text()))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

SpinEditKeyUp::SpinEditKeyUp(QWidget* box)
    : QObject(box)
    , m_box(box)
{
}

QWidget* SpinEditKeyUp::nextInTabOrder(QWidget* from)
{
    QWidget* window = from->window();
    for (QWidget* w = from->nextInFocusChain(); w && w != from; w = w->nextInFocusChain()) {
        // The box's own inner editor follows it in the chain.
        if (from->isAncestorOf(w))
            continue;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(window) && !w->focusProxy())
            return w;
    }
    return nullptr;
}

bool SpinEditKeyUp::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_box && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (event->type() == QEvent::KeyRelease && !key->isAutoRepeat())
                if (QWidget* next = nextInTabOrder(m_box))
                    next->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace gw
