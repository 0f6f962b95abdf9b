#include "renderer/ColorText.h"

#include "shared/Error.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <cmath>

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

namespace {

    std::optional<int> colorNamedIn(const QString& file, const QString& name)
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
            return std::nullopt;
        while (!f.atEnd()) {
            const QString line = QString::fromLatin1(f.readLine()).trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('!')) || line.startsWith(QLatin1Char('#')))
                continue;
            const QStringList parts = line.simplified().split(QLatin1Char(' '));
            if (parts.size() < 4 || parts.mid(3).join(QLatin1Char(' ')).compare(name, Qt::CaseInsensitive) != 0)
                continue;
            bool okR = false;
            bool okG = false;
            bool okB = false;
            const int r = parts[0].toInt(&okR);
            const int g = parts[1].toInt(&okG);
            const int b = parts[2].toInt(&okB);
            if (okR && okG && okB && r >= 0 && r <= 255 && g >= 0 && g <= 255 && b >= 0 && b <= 255)
                return r + 256 * g + 65536 * b;
        }
        return std::nullopt;
    }

} // namespace

std::optional<int> configColor(const QString& value, const QStringList& nameFiles)
{
    const QString text = value.trimmed();
    if (text.startsWith(QLatin1Char('{'))) {
        try {
            return StrToColor(text);
        } catch (const Error&) {
            return std::nullopt;
        }
    }
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        bool ok = false;
        const QString digits = text.mid(2);
        const uint hex = digits.toUInt(&ok, 16);
        if (!ok || digits.size() > 6)
            return std::nullopt;
        return static_cast<int>(((hex >> 16) & 0xFF) | (hex & 0xFF00) | ((hex & 0xFF) << 16));
    }
    if (text.isEmpty())
        return std::nullopt;
    for (const QString& file : nameFiles)
        if (const auto color = colorNamedIn(file, text))
            return color;
    const bool plainName = std::all_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
    if (plainName && QColor::isValidColorName(text))
        return qColorToColor(QColor::fromString(text));
    return std::nullopt;
}

std::optional<int> configNumber(const QString& value)
{
    bool ok = false;
    const double number = value.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number) || number < INT_MIN || number > INT_MAX)
        return std::nullopt;
    return static_cast<int>(std::lround(number));
}

} // namespace gw
