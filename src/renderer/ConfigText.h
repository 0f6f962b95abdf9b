#pragma once
// The renderer's configuration file as lines: reading and writing them, finding a body's
// section and replacing a key in it. Everything else in the file is kept as it was.
#include "shared/AtomicFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace gw {

// Lines of a configuration file together with how its bytes were decoded, so that lines the
// program never edits are written back byte for byte.
struct ConfigLines
{
    QStringList lines;
    bool latin1 = false; // the file was not valid UTF-8: every byte is one character

    bool operator==(const ConfigLines&) const = default;
};

// Splits at CR LF, LF or a lone CR; the line breaks are dropped, nothing else is changed.
ConfigLines parseConfigText(const QByteArray& bytes);
// Every line ended by CR LF, in the encoding the lines were read with.
QByteArray configTextBytes(const ConfigLines& config);

// Reads a file into lines; a missing file gives no lines. Throws gw::Error when an existing
// file cannot be read.
ConfigLines readConfigFile(const QString& path);
// Replaces `path` atomically with the lines. Throws gw::Error naming the file on failure.
void writeConfigFile(const QString& path, const ConfigLines& config, Flush flush = Flush::ToDisk);

// Blanks and control characters removed at both ends (the renderer's own idea of blanks).
QString trimBlanks(const QString& text);
// A line with "#" is cut before it and trimmed; a line without is returned unchanged.
QString withoutComment(const QString& line);

// First section of `body` by prefix: the first line that starts with "[" + body (so "[earthx"
// also opens the section of "earth"). Returns the header's index or -1.
qsizetype findBodySection(const QStringList& lines, const QString& body);
// Index just past the last line of the section whose header is at `header`.
qsizetype sectionEnd(const QStringList& lines, qsizetype header);

// Lines of every section headed exactly "[body]" (after the comment is cut), comments cut,
// empty lines and headers left out: what is shown to the user.
QStringList bodySectionText(const QStringList& lines, const QString& body);

// In the first section of `body`, removes every line starting with key + "=" and puts one line
// per non-empty value where the last removed line stood (or right after the header). Returns
// false, changing nothing, when the body has no section.
bool replaceKeyInSection(QStringList& lines, const QString& body, const QString& key, const QStringList& values);

} // namespace gw
