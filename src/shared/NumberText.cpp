#include "shared/NumberText.h"

#include <QLocale>

namespace gw {

namespace {
    QChar fillChar(const QString& fill)
    {
        return fill.isEmpty() ? QLatin1Char(' ') : fill.at(0);
    }

    QString lastChars(const QString& text, int count)
    {
        if (count <= 0)
            return {};
        return text.size() <= count ? text : text.right(count);
    }
} // namespace

QString FormatInt(qint64 number, int width, const QString& fill)
{
    if (fill.isEmpty())
        return lastChars(QString::number(number), width);
    return lastChars(QString(width > 0 ? width : 0, fillChar(fill)) + QString::number(number), width);
}

QString FormatFloat(int width, int decimals, const QString& fill, double value)
{
    QString number = QString::number(value, 'f', decimals < 0 ? 0 : decimals);
    const QChar separator = QLocale::system().decimalPoint().at(0);
    number.replace(QLatin1Char('.'), separator);
    const QString padding = fill.isEmpty() ? QString() : QString(width > 0 ? width : 0, fillChar(fill));
    return lastChars(padding + number, width + decimals + 1);
}

} // namespace gw
