#include "renderer/CommandLine.h"

namespace gw {

namespace {
    bool isBlank(QChar c)
    {
        return c == QLatin1Char(' ') || c == QLatin1Char('\t');
    }
} // namespace

QStringList splitArguments(const QString& text)
{
    QStringList args;
    QString current;
    bool inArgument = false; // `current` holds an argument, possibly an empty quoted one
    bool quoted = false;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\')) {
            qsizetype slashes = 0;
            while (i < n && text[i] == QLatin1Char('\\')) {
                ++slashes;
                ++i;
            }
            inArgument = true;
            if (i < n && text[i] == QLatin1Char('"')) {
                current += QString(slashes / 2, QLatin1Char('\\'));
                if (slashes % 2 == 1) {
                    current += QLatin1Char('"');
                    ++i;
                }
                // An even count leaves the quote to the next round, where it opens or closes.
            } else {
                current += QString(slashes, QLatin1Char('\\'));
            }
            continue;
        }
        if (c == QLatin1Char('"')) {
            inArgument = true;
            if (quoted && i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                current += QLatin1Char('"');
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        if (isBlank(c) && !quoted) {
            if (inArgument) {
                args << current;
                current.clear();
                inArgument = false;
            }
            ++i;
            continue;
        }
        current += c;
        inArgument = true;
        ++i;
    }
    if (inArgument)
        args << current;
    return args;
}

QString quoteArgument(const QString& text, bool alwaysQuoted)
{
    const bool plain = !text.isEmpty() && !text.contains(QLatin1Char(' ')) && !text.contains(QLatin1Char('\t'))
        && !text.contains(QLatin1Char('"'));
    if (plain && !alwaysQuoted)
        return text;
    QString out = QStringLiteral("\"");
    qsizetype slashes = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\')) {
            ++slashes;
            continue;
        }
        // Backslashes count only before a quote: there each is doubled, and the quote escaped.
        if (c == QLatin1Char('"'))
            out += QString(slashes * 2 + 1, QLatin1Char('\\'));
        else
            out += QString(slashes, QLatin1Char('\\'));
        slashes = 0;
        out += c;
    }
    // The closing quote follows: backslashes before it are doubled too.
    out += QString(slashes * 2, QLatin1Char('\\'));
    return out + QLatin1Char('"');
}

SplitCommand splitCommand(const QString& exeName, const QString& commandLine)
{
    SplitCommand result;
    QString program = exeName;
    if (program.size() >= 2 && program.startsWith(QLatin1Char('"')) && program.endsWith(QLatin1Char('"')))
        program = program.mid(1, program.size() - 2);
    result.program = program;
    const QString rest = commandLine.startsWith(exeName) ? commandLine.mid(exeName.size()) : commandLine;
    result.arguments = splitArguments(rest);
    return result;
}

} // namespace gw
