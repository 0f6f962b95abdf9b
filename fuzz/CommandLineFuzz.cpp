// The command-line splitter on any text: text without quotes or backslashes splits at blanks,
// and any argument list quoted the way the platform of these command lines quotes it comes
// back as it was.
#include "FuzzSupport.h"

#include "renderer/CommandLine.h"

namespace {

constexpr size_t kMaxInput = 16 * 1024;

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// The quoting a program uses to hand `argument` to a child through one command line.
QString quoted(const QString& argument)
{
    if (!argument.isEmpty()
        && std::none_of(argument.begin(), argument.end(), [](QChar c) { return isBlank(c) || c == QLatin1Char('"'); }))
        return argument;
    QString out = QStringLiteral("\"");
    qsizetype slashes = 0;
    for (const QChar c : argument) {
        if (c == QLatin1Char('\\')) {
            ++slashes;
        } else if (c == QLatin1Char('"')) {
            out += QString(slashes + 1, QLatin1Char('\\')); // those before it doubled, and one for it
            slashes = 0;
        } else {
            slashes = 0;
        }
        out += c;
    }
    out += QString(slashes, QLatin1Char('\\')); // doubled before the closing quote
    return out + QLatin1Char('"');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxInput)
        return 0;
    const QString text = QString::fromUtf8(gwfuzz::bytes(data, size));
    const QStringList args = gw::splitArguments(text);
    if (!text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\\'))) {
        QString simple = text;
        simple.replace(QLatin1Char('\t'), QLatin1Char(' '));
        FUZZ_CHECK(args == simple.split(QLatin1Char(' '), Qt::SkipEmptyParts), "plain text splits at blanks");
    }

    // The pieces as an argument list of their own, quoted and split again.
    const QStringList list = text.split(QChar(u'\x1F'));
    QStringList parts;
    for (const QString& a : list)
        parts << quoted(a);
    FUZZ_CHECK(gw::splitArguments(parts.join(QLatin1Char(' '))) == list, "quoted arguments come back");

    const QString exe = list.first();
    const gw::SplitCommand command
        = gw::splitCommand(exe, exe + QLatin1Char(' ') + parts.mid(1).join(QLatin1Char(' ')));
    FUZZ_CHECK(command.arguments == list.mid(1), "the arguments after the program come back");
    return 0;
}
