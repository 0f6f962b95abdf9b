#pragma once
// An INI file with the rules of the classic profile routines: section and key names match
// without regard to case, a value is one line and reads back at most 2047 characters,
// a section is erased whole, and entries nobody writes stay where they are.
// The file is 8-bit bytes; text values are UTF-8, or Latin-1 where the bytes are not UTF-8 (a
// file from another system), and such a text is written back as the bytes it was read from.
// Only a regular file of at most MaxFileSize bytes is read. Changes are kept in memory until
// save(), which replaces the file at once so it is never left half written.
#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace gw {

class IniFile
{
public:
    static constexpr int MaxValueLength = 2047;
    // Far more than any settings file; a link to a device or a huge file is refused.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

    // Reads the file at once; loadError() tells whether that worked.
    explicit IniFile(const QString& path);

    // Reads the file; a missing file is an empty one and no error. Never blocks: a FIFO, a
    // device or a file above MaxFileSize fails with an error naming the file.
    bool load(QString* error = nullptr);
    // Empty when the last load worked.
    const QString& loadError() const { return m_loadError; }
    bool save(QString* error = nullptr) const;
    // Reads the file, applies the change and saves it whole; an empty name does nothing. A file
    // that cannot be read or written throws gw::Error naming it.
    static void change(const QString& path, const std::function<void(IniFile&)>& edit);
    // The same reading and writing without the file: what load() parses, what save() writes.
    void loadFromBytes(const QByteArray& bytes);
    QByteArray toBytes() const;
    const QString& path() const { return m_path; }

    bool hasSection(const QString& section) const;
    bool hasKey(const QString& section, const QString& key) const;
    // Keys of a section in file order, as written in the file.
    QStringList keys(const QString& section) const;
    QStringList sections() const;

    QByteArray readBytes(const QString& section, const QString& key, const QByteArray& def) const;
    QString readString(const QString& section, const QString& key, const QString& def) const;
    // Decimal; "$" hex; "0x" hex when longer than two characters; anything else is `def`.
    int readInteger(const QString& section, const QString& key, int def) const;
    bool readBool(const QString& section, const QString& key, bool def) const;

    void writeBytes(const QString& section, const QString& key, const QByteArray& value);
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);
    void deleteKey(const QString& section, const QString& key);
    void eraseSection(const QString& section);

    static bool parseInteger(const QString& text, int* value);

private:
    struct Line
    {
        QByteArray raw; // as found in the file, or as last written
        QByteArray key; // empty for comments and other lines
        QByteArray value;
    };
    struct Section
    {
        QByteArray rawHeader; // empty for the lines before the first section
        QByteArray name;
        std::vector<Line> lines;
        // Folded key name -> index of its first line, built on first use. A settings file may
        // hold lists of thousands of entries; a scan per entry would make a save take minutes.
        mutable QHash<QString, size_t> keyIndex;
        mutable bool indexed = false;
    };

    Section* findSection(const QString& name);
    const Section* findSection(const QString& name) const;
    const Line* findLine(const QString& section, const QString& key) const;
    // Index of the first line of `key` in `s`, or -1.
    static qsizetype lineOf(const Section& s, const QString& key);

    QString m_path;
    QString m_loadError;
    std::vector<Section> m_sections;
    // Texts that were read from bytes that are not UTF-8.
    QSet<QString> m_latin1Texts;
};

} // namespace gw
