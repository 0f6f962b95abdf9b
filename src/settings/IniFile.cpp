#include "settings/IniFile.h"

#include "shared/AtomicFile.h"
#include "shared/Error.h"
#include "shared/OutsideText.h"
#include "shared/RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace gw {

namespace {
    // Names match without regard to case. Both sides are trimmed alike: the file's names lose
    // only ASCII blanks when read, so a name ending in another blank (a no-break space, say)
    // would otherwise never match itself.
    QString folded(const QString& name)
    {
        return name.trimmed().toCaseFolded();
    }

    QString folded(const QByteArray& name)
    {
        return folded(QString::fromUtf8(name));
    }

    bool sameName(const QByteArray& a, const QString& b)
    {
        return folded(a) == folded(b);
    }

    // UTF-8 where the bytes are UTF-8; otherwise every byte is one character, so nothing is lost.
    QString decoded(const QByteArray& bytes, bool* latin1 = nullptr)
    {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(bytes);
        const bool fallback = utf8.hasError();
        if (latin1)
            *latin1 = fallback;
        return fallback ? QString::fromLatin1(bytes) : text;
    }

    QByteArray oneLine(QByteArray value)
    {
        // A value is one line: a line break inside would split the entry.
        value.replace('\r', ' ');
        value.replace('\n', ' ');
        return value;
    }
} // namespace

IniFile::IniFile(const QString& path)
    : m_path(path)
{
    load();
}

bool IniFile::load(QString* error)
{
    loadFromBytes(QByteArray());
    m_loadError.clear();
    QByteArray bytes;
    QString why;
    switch (readRegularFile(m_path, MaxFileSize, &bytes, &why)) {
    case ReadResult::Missing:
        return true;
    case ReadResult::Read:
        loadFromBytes(bytes);
        return true;
    case ReadResult::Failed:
        break;
    }
    m_loadError = QStringLiteral("Cannot read file \"%1\": %2").arg(QFileInfo(m_path).absoluteFilePath(), why);
    if (error)
        *error = m_loadError;
    return false;
}

void IniFile::loadFromBytes(const QByteArray& bytes)
{
    m_sections.clear();
    m_sections.push_back(Section {});
    m_latin1Texts.clear();
    QByteArray all = bytes;
    // Some editors put a UTF-8 byte order mark first; it would hide the first section's header.
    // An editor that took the file for 8-bit text adds one more each time it saves it.
    while (all.startsWith("\xEF\xBB\xBF"))
        all.remove(0, 3);
    const QList<QByteArray> rows = all.split('\n');
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QByteArray raw = rows[i];
        if (i == rows.size() - 1 && raw.isEmpty())
            break; // the file ended with a line break
        if (raw.endsWith('\r'))
            raw.chop(1);
        const QByteArray trimmed = raw.trimmed();
        if (trimmed.startsWith('[') && trimmed.contains(']')) {
            Section s;
            s.rawHeader = raw;
            s.name = trimmed.mid(1, trimmed.indexOf(']') - 1).trimmed();
            m_sections.push_back(std::move(s));
            continue;
        }
        Line line;
        line.raw = raw;
        const qsizetype eq = raw.indexOf('=');
        if (eq > 0 && !trimmed.startsWith(';')) {
            line.key = raw.left(eq).trimmed();
            line.value = raw.mid(eq + 1).trimmed();
            bool latin1 = false;
            const QString text = decoded(line.value, &latin1);
            if (latin1) {
                m_latin1Texts.insert(text);
                m_latin1Texts.insert(text.left(MaxValueLength));
            }
        }
        m_sections.back().lines.push_back(std::move(line));
    }
}

bool IniFile::save(QString* error) const
{
    return writeFileAtomically(m_path, toBytes(), error);
}

QByteArray IniFile::toBytes() const
{
    QByteArray out;
    for (const Section& s : m_sections) {
        if (!s.rawHeader.isEmpty())
            out += s.rawHeader + "\r\n";
        for (const Line& l : s.lines)
            out += l.raw + "\r\n";
    }
    return out;
}

IniFile::Section* IniFile::findSection(const QString& name)
{
    for (size_t i = 1; i < m_sections.size(); ++i)
        if (sameName(m_sections[i].name, name))
            return &m_sections[i];
    return nullptr;
}

const IniFile::Section* IniFile::findSection(const QString& name) const
{
    return const_cast<IniFile*>(this)->findSection(name);
}

qsizetype IniFile::lineOf(const Section& s, const QString& key)
{
    if (!s.indexed) {
        s.keyIndex.clear();
        // Backwards, so that the first line of a name is the one kept.
        for (size_t i = s.lines.size(); i-- > 0;)
            if (!s.lines[i].key.isEmpty())
                s.keyIndex.insert(folded(s.lines[i].key), i);
        s.indexed = true;
    }
    const auto it = s.keyIndex.constFind(folded(key));
    return it == s.keyIndex.constEnd() ? -1 : static_cast<qsizetype>(*it);
}

const IniFile::Line* IniFile::findLine(const QString& section, const QString& key) const
{
    const Section* s = findSection(section);
    if (!s)
        return nullptr;
    const qsizetype at = lineOf(*s, key);
    return at < 0 ? nullptr : &s->lines[static_cast<size_t>(at)];
}

bool IniFile::hasSection(const QString& section) const
{
    return findSection(section) != nullptr;
}

bool IniFile::hasKey(const QString& section, const QString& key) const
{
    return findLine(section, key) != nullptr;
}

QStringList IniFile::keys(const QString& section) const
{
    QStringList result;
    if (const Section* s = findSection(section))
        for (const Line& l : s->lines)
            if (!l.key.isEmpty())
                result << QString::fromUtf8(l.key);
    return result;
}

QStringList IniFile::sections() const
{
    QStringList result;
    for (size_t i = 1; i < m_sections.size(); ++i)
        result << QString::fromUtf8(m_sections[i].name);
    return result;
}

QByteArray IniFile::readBytes(const QString& section, const QString& key, const QByteArray& def) const
{
    const Line* l = findLine(section, key);
    return l ? l->value.left(MaxValueLength) : def;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const
{
    const Line* l = findLine(section, key);
    return l ? decoded(l->value).left(MaxValueLength) : def;
}

bool IniFile::parseInteger(const QString& text, int* value)
{
    QString t = text.trimmed();
    bool ok = false;
    qint64 v = 0;
    if (t.startsWith(QLatin1Char('$')) && t.size() > 1) {
        v = static_cast<qint64>(t.mid(1).toULongLong(&ok, 16));
        ok = ok && v <= 0xFFFFFFFFLL;
        v = static_cast<qint32>(static_cast<quint32>(v));
    } else if (t.size() > 2 && t.at(0) == QLatin1Char('0')
        && (t.at(1) == QLatin1Char('x') || t.at(1) == QLatin1Char('X'))) {
        v = static_cast<qint64>(t.mid(2).toULongLong(&ok, 16));
        ok = ok && v <= 0xFFFFFFFFLL;
        v = static_cast<qint32>(static_cast<quint32>(v));
    } else {
        v = t.toLongLong(&ok, 10);
        ok = ok && v >= INT32_MIN && v <= INT32_MAX && !t.startsWith(QLatin1Char('+'));
    }
    if (ok && value)
        *value = static_cast<int>(v);
    return ok;
}

int IniFile::readInteger(const QString& section, const QString& key, int def) const
{
    const Line* l = findLine(section, key);
    int v = 0;
    return (l && parseInteger(QString::fromUtf8(l->value), &v)) ? v : def;
}

bool IniFile::readBool(const QString& section, const QString& key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::writeBytes(const QString& section, const QString& key, const QByteArray& value)
{
    const QByteArray v = oneLine(value);
    Section* s = findSection(section);
    if (!s) {
        m_sections.push_back(Section {});
        s = &m_sections.back();
        s->name = section.toUtf8();
        s->rawHeader = "[" + s->name + "]";
    }
    if (const qsizetype at = lineOf(*s, key); at >= 0) {
        Line& l = s->lines[static_cast<size_t>(at)];
        l.value = v;
        l.raw = l.key + "=" + v;
        return;
    }
    Line line;
    line.key = key.toUtf8();
    line.value = v;
    line.raw = line.key + "=" + v;
    // New entries go after the last entry, before trailing blank lines. Only blank lines
    // follow, so no other entry's index moves.
    auto pos = s->lines.end();
    while (pos != s->lines.begin() && (pos - 1)->raw.trimmed().isEmpty())
        --pos;
    const auto at = static_cast<size_t>(pos - s->lines.begin());
    s->lines.insert(pos, std::move(line));
    s->keyIndex.insert(folded(s->lines[at].key), at);
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    // A text this file held in Latin-1 goes back as the bytes it came from. Texts quote
    // servers and feeds too: a control character is written escaped, so an editor or a
    // terminal that shows the file shows it as text.
    QString oneLineText = value;
    oneLineText.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    // A tab is kept: a blank to every reader, and part of a file name the user chose.
    const QString plain = plainOutsideText(oneLineText, LineBreaks::Keep);
    writeBytes(section, key, m_latin1Texts.contains(plain) ? plain.toLatin1() : plain.toUtf8());
}

void IniFile::writeInteger(const QString& section, const QString& key, int value)
{
    writeBytes(section, key, QByteArray::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value)
{
    writeBytes(section, key, value ? "1" : "0");
}

void IniFile::deleteKey(const QString& section, const QString& key)
{
    Section* s = findSection(section);
    if (!s)
        return;
    std::erase_if(s->lines, [&](const Line& l) { return !l.key.isEmpty() && sameName(l.key, key); });
    s->indexed = false;
}

void IniFile::eraseSection(const QString& section)
{
    for (size_t i = 1; i < m_sections.size(); ++i) {
        if (sameName(m_sections[i].name, section)) {
            m_sections.erase(m_sections.begin() + static_cast<std::ptrdiff_t>(i));
            --i;
        }
    }
}

} // namespace gw

namespace gw {

void IniFile::change(const QString& path, const std::function<void(IniFile&)>& edit)
{
    if (path.isEmpty())
        return;
    IniFile ini(path);
    QString error;
    if (!ini.load(&error))
        throw Error(error);
    edit(ini);
    if (!ini.save(&error))
        throw Error(error);
}

} // namespace gw
