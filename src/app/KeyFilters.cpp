#include "app/KeyFilters.h"

#include <QKeyEvent>

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

} // namespace gw
