#include "renderer/ConfigText.h"

#include "shared/AtomicFile.h"
#include "shared/Error.h"
#include "shared/RegularFile.h"

#include <QFile>
#include <QStringDecoder>

namespace gw {

ConfigLines parseConfigText(const QByteArray& bytes)
{
    ConfigLines config;
    // A byte-order mark stays part of the first line, like every other byte.
    QStringDecoder utf8(
        QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        // Not UTF-8: take the bytes one to one so they come back unchanged.
        config.latin1 = true;
        text = QString::fromLatin1(bytes);
    }
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start < n) {
        qsizetype end = start;
        while (end < n && text.at(end) != QLatin1Char('\n') && text.at(end) != QLatin1Char('\r'))
            ++end;
        config.lines << text.mid(start, end - start);
        if (end < n && text.at(end) == QLatin1Char('\r') && end + 1 < n && text.at(end + 1) == QLatin1Char('\n'))
            ++end;
        start = end + 1;
    }
    return config;
}

QByteArray configTextBytes(const ConfigLines& config)
{
    QString text;
    for (const QString& line : config.lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    return config.latin1 ? text.toLatin1() : text.toUtf8();
}

ConfigLines readConfigFile(const QString& path)
{
    // xplanet's configurations are a few kB; a FIFO or a device in their place must not hang
    // or flood the settings load.
    constexpr qint64 limit = 16 * 1024 * 1024;
    QByteArray bytes;
    QString why;
    switch (readRegularFile(path, limit, &bytes, &why)) {
    case ReadResult::Missing:
        return {};
    case ReadResult::Read:
        break;
    case ReadResult::Failed:
        throw Error(QStringLiteral("Cannot open file \"%1\". %2").arg(path, why));
    }
    return parseConfigText(bytes);
}

void writeConfigFile(const QString& path, const ConfigLines& config, Flush flush)
{
    QString error;
    if (!writeFileAtomically(path, configTextBytes(config), &error, flush))
        throw Error(error);
}

QString trimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= ' ')
        ++first;
    while (last > first && text.at(last - 1).unicode() <= ' ')
        --last;
    return text.mid(first, last - first);
}

QString withoutComment(const QString& line)
{
    const qsizetype hash = line.indexOf(QLatin1Char('#'));
    return hash < 0 ? line : trimBlanks(line.left(hash));
}

namespace {
    bool opensSection(const QString& line)
    {
        return line.startsWith(QLatin1Char('['));
    }
} // namespace

qsizetype findBodySection(const QStringList& lines, const QString& body)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        if (opensSection(line) && QStringView(line).mid(1).startsWith(body))
            return i;
    }
    return -1;
}

qsizetype sectionEnd(const QStringList& lines, qsizetype header)
{
    qsizetype i = header + 1;
    while (i < lines.size() && !opensSection(lines.at(i)))
        ++i;
    return i;
}

QStringList bodySectionText(const QStringList& lines, const QString& body)
{
    const QString header = QLatin1Char('[') + body + QLatin1Char(']');
    QStringList shown;
    bool inSection = false;
    for (const QString& raw : lines) {
        const QString line = withoutComment(raw);
        if (line.isEmpty())
            continue;
        if (opensSection(line))
            inSection = line == header;
        else if (inSection)
            shown << line;
    }
    return shown;
}

bool replaceKeyInSection(QStringList& lines, const QString& body, const QString& key, const QStringList& values)
{
    const qsizetype header = findBodySection(lines, body);
    if (header < 0)
        return false;
    const QString prefix = key + QLatin1Char('=');
    qsizetype insertAt = header + 1;
    qsizetype i = header + 1;
    while (i < lines.size() && !opensSection(lines.at(i))) {
        if (lines.at(i).startsWith(prefix)) {
            lines.removeAt(i);
            insertAt = i;
        } else {
            ++i;
        }
    }
    // Empty values add nothing and leave no gap.
    for (const QString& value : values)
        if (!value.isEmpty())
            lines.insert(insertAt++, prefix + value);
    return true;
}

} // namespace gw
