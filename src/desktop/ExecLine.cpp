#include "desktop/ExecLine.h"

#include <QFile>

namespace gw {

namespace {

    bool isTargetCode(QChar c)
    {
        return c == QLatin1Char('f') || c == QLatin1Char('F') || c == QLatin1Char('u') || c == QLatin1Char('U');
    }

    // Position where the command is cut: before the first %f %F %u %U, or before the quote of a
    // quoted one ("%u"); -1 when there is none.
    qsizetype targetCodePosition(const QString& exec)
    {
        for (qsizetype i = 0; i + 1 < exec.size(); ++i) {
            if (exec.at(i) != QLatin1Char('%'))
                continue;
            const QChar next = exec.at(i + 1);
            if (next == QLatin1Char('%')) {
                ++i; // a literal percent sign
                continue;
            }
            if (!isTargetCode(next))
                continue;
            const bool quoted = i > 0 && exec.at(i - 1) == QLatin1Char('"') && i + 2 < exec.size()
                && exec.at(i + 2) == QLatin1Char('"');
            return quoted ? i - 1 : i;
        }
        return -1;
    }

    // Field codes that stand for the entry's icon, name, location or are deprecated: an
    // argument made of one of them alone is dropped.
    bool isDroppedCode(const QString& arg)
    {
        static const QStringList codes
            = { "%i", "%c", "%k", "%d", "%D", "%n", "%N", "%v", "%m", "%f", "%F", "%u", "%U" };
        return codes.contains(arg);
    }

} // namespace

QString unescapeDesktopValue(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar n = value.at(++i);
        switch (n.unicode()) {
        case 's':
            out += QLatin1Char(' ');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        default: // not a string escape: kept for the Exec quoting rules
            out += c;
            out += n;
        }
    }
    return out;
}

std::optional<DesktopEntry> readDesktopEntry(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool inEntry = false;
    bool found = false;
    DesktopEntry entry;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            found = found || inEntry;
            continue;
        }
        if (!inEntry)
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("Exec"))
            entry.exec = unescapeDesktopValue(value);
        else if (key == QLatin1String("Terminal"))
            entry.terminal = value == QLatin1String("true");
    }
    if (!found)
        return std::nullopt;
    return entry;
}

QStringList splitExecArguments(const QString& exec)
{
    QStringList args;
    QString current;
    bool inArg = false;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                quoted = false;
            } else if (c == QLatin1Char('\\') && i + 1 < exec.size()
                && QStringLiteral("\"`$\\").contains(exec.at(i + 1))) {
                current += exec.at(++i);
            } else {
                current += c;
            }
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            if (inArg)
                args << current;
            current.clear();
            inArg = false;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            inArg = true;
        } else {
            current += c;
            inArg = true;
        }
    }
    if (inArg)
        args << current;
    return args;
}

QStringList commandForTarget(const QString& exec, const QString& target)
{
    const qsizetype cut = targetCodePosition(exec);
    QStringList args;
    for (QString arg : splitExecArguments(cut < 0 ? exec : exec.left(cut))) {
        if (isDroppedCode(arg))
            continue;
        arg.replace(QStringLiteral("%%"), QStringLiteral("%"));
        args << arg;
    }
    if (args.isEmpty())
        return {};
    args << target;
    return args;
}

} // namespace gw
