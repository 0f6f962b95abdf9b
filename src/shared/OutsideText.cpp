#include "shared/OutsideText.h"

namespace gw {

namespace {

    bool isControl(char16_t c)
    {
        return c < 0x20 || (c >= 0x7F && c <= 0x9F);
    }

} // namespace

QString plainOutsideText(const QString& text, LineBreaks lineBreaks)
{
    qsizetype i = 0;
    const qsizetype size = text.size();
    auto kept = [lineBreaks](char16_t c) {
        return !isControl(c) || (lineBreaks == LineBreaks::Keep && (c == u'\n' || c == u'\t'));
    };
    while (i < size && kept(text.at(i).unicode()))
        ++i;
    if (i == size)
        return text; // the usual case: nothing to copy
    QString out = text.left(i);
    for (; i < size; ++i) {
        const char16_t c = text.at(i).unicode();
        if (kept(c))
            out += QChar(c);
        else if (c < 0x80)
            out += QStringLiteral("\\x") + QString::number(c, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u") + QString::number(c, 16).toUpper().rightJustified(4, QLatin1Char('0'));
    }
    return out;
}

} // namespace gw
