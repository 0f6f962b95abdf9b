#include "renderer/ColorText.h"

#include "shared/Error.h"

#include <climits>

namespace gw {

namespace {

int componentOf(const QString& part)
{
    const int value = parseWholeNumber(part);
    // A component above 255 would spill into the next colour's byte.
    if (value < 0 || value > 255)
        throw Error(QStringLiteral("'%1' is not a valid colour component").arg(part));
    return value;
}

// The text before the first `stop`; empty when `stop` is missing (which then fails as no number).
QString before(const QString& text, QChar stop)
{
    const qsizetype at = text.indexOf(stop);
    return at < 0 ? QString() : text.left(at);
}

} // namespace

int parseWholeNumber(const QString& part)
{
    qsizetype i = 0;
    while (i < part.size() && part.at(i) == QLatin1Char(' '))
        ++i;
    if (i < part.size() && (part.at(i) == QLatin1Char('+') || part.at(i) == QLatin1Char('-')))
        ++i;
    const qsizetype firstDigit = i;
    while (i < part.size() && part.at(i) >= QLatin1Char('0') && part.at(i) <= QLatin1Char('9'))
        ++i;
    bool ok = i > firstDigit && i == part.size() && i - firstDigit <= 18;
    const qint64 value = ok ? part.trimmed().toLongLong(&ok) : 0;
    if (!ok || value < INT_MIN || value > INT_MAX)
        throw Error(QStringLiteral("'%1' is not a valid integer value").arg(part));
    return static_cast<int>(value);
}

QString ColorToStr(int color)
{
    return QStringLiteral("{%1,%2,%3}").arg(color & 0xFF).arg((color >> 8) & 0xFF).arg((color >> 16) & 0xFF);
}

int StrToColor(const QString& text)
{
    const qsizetype open = text.indexOf(QLatin1Char('{'));
    const qsizetype comma1 = text.indexOf(QLatin1Char(','));
    const QString red = comma1 <= open ? QString() : text.mid(open + 1, comma1 - open - 1);
    // Of the text after each comma only 20 characters count.
    const QString rest1 = comma1 < 0 ? QString() : text.mid(comma1 + 1, 20);
    const QString green = before(rest1, QLatin1Char(','));
    const qsizetype comma2 = rest1.indexOf(QLatin1Char(','));
    const QString rest2 = comma2 < 0 ? QString() : rest1.mid(comma2 + 1, 20);
    const QString blue = before(rest2, QLatin1Char('}'));
    const int r = componentOf(red);
    const int g = componentOf(green);
    const int b = componentOf(blue);
    return r + 256 * g + 65536 * b;
}

QColor colorToQColor(int color)
{
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

int qColorToColor(const QColor& color)
{
    return color.red() + 256 * color.green() + 65536 * color.blue();
}

} // namespace gw
