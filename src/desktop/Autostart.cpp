#include "desktop/Autostart.h"

#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/AtomicFile.h"
#include "shared/Error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace gw {

namespace {

    QString defaultFolder()
    {
        QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        if (config.isEmpty())
            config = QDir::homePath() + QStringLiteral("/.config");
        return config + QStringLiteral("/autostart");
    }

    // The value of the first `key` of the entry's [Desktop Entry] group (a file without group
    // headers counts as that group); spaces around "=" do not count.
    QString entryValue(const QByteArray& content, QStringView key)
    {
        const QStringList lines = QString::fromUtf8(content).split(QLatin1Char('\n'));
        bool inEntryGroup = true;
        for (const QString& raw : lines) {
            const QString line = raw.trimmed();
            if (line.startsWith(QLatin1Char('['))) {
                inEntryGroup = line == QStringLiteral("[Desktop Entry]");
                continue;
            }
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (inEntryGroup && eq > 0 && line.left(eq).trimmed() == key)
                return line.mid(eq + 1).trimmed();
        }
        return {};
    }

    // The session settings of GNOME and Xfce switch an entry off by these keys instead of
    // removing it; the session then does not start it.
    bool switchedOffByDesktop(const QByteArray& content)
    {
        return entryValue(content, u"Hidden").compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0
            || entryValue(content, u"X-GNOME-Autostart-enabled").compare(QStringLiteral("false"), Qt::CaseInsensitive)
            == 0;
    }

} // namespace

Autostart::Autostart(SettingsAccess& settings, const QString& programFile, const QString& autostartFolder)
    : m_settings(settings)
    , m_programFile(programFile.isEmpty() ? QCoreApplication::applicationFilePath() : programFile)
    , m_folder(autostartFolder.isEmpty() ? defaultFolder() : autostartFolder)
{
}

QString Autostart::entryFile() const
{
    return QDir(m_folder).filePath(QStringLiteral("Globewall.desktop"));
}

QString Autostart::execValue(const QString& programFile)
{
    // Inside quotes " ` $ \ take a backslash; then the value's own escaping doubles every
    // backslash again; a literal % is written %%.
    QString quoted;
    for (const QChar c : programFile) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    QString value;
    for (const QChar c : QLatin1Char('"') + quoted + QLatin1Char('"')) {
        if (c == QLatin1Char('\\'))
            value += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            value += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            value += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

QString Autostart::unescapeExec(const QString& value)
{
    QString plain;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            plain += c;
            continue;
        }
        const QChar next = value[++i];
        if (next == QLatin1Char('s'))
            plain += QLatin1Char(' ');
        else if (next == QLatin1Char('n'))
            plain += QLatin1Char('\n');
        else if (next == QLatin1Char('t'))
            plain += QLatin1Char('\t');
        else if (next == QLatin1Char('r'))
            plain += QLatin1Char('\r');
        else
            plain += next;
    }
    QString command;
    bool quoted = false;
    for (qsizetype i = 0; i < plain.size(); ++i) {
        const QChar c = plain[i];
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (quoted && c == QLatin1Char('\\') && i + 1 < plain.size()) {
            command += plain[++i];
        } else if (c == QLatin1Char('%') && i + 1 < plain.size() && plain[i + 1] == QLatin1Char('%')) {
            command += c;
            ++i;
        } else {
            command += c;
        }
    }
    return command;
}

void Autostart::rbYesClick()
{
    if (!QDir().mkpath(m_folder))
        return;
    const QString content = QStringLiteral("[Desktop Entry]\n"
                                           "Type=Application\n"
                                           "Name=Globewall\n"
                                           "Exec=")
        + execValue(m_programFile) + QStringLiteral("\n");
    QString error;
    if (!writeFileAtomically(entryFile(), content.toUtf8(), &error))
        throw Error(
            QStringLiteral("Could not write the autostart entry ") + entryFile() + QStringLiteral(": ") + error);
}

void Autostart::rbNoClick()
{
    QFile entry(entryFile());
    if (!entry.exists())
        return;
    if (!entry.remove())
        throw Error(QStringLiteral("Could not remove the autostart entry ") + entryFile() + QStringLiteral(": ")
            + entry.errorString());
}

void Autostart::detect()
{
    const QFileInfo info(entryFile());
    QString exec;
    if (info.exists()) {
        if (info.isDir())
            throw Error(QStringLiteral("The autostart entry is not a file: ") + entryFile());
        QFile entry(entryFile());
        if (!entry.open(QIODevice::ReadOnly))
            return; // unreadable: the buttons stay as they are
        const QByteArray content = entry.readAll();
        if (!switchedOffByDesktop(content))
            exec = entryValue(content, u"Exec");
    }
    const QString program = m_programFile.toUpper();
    const bool yes = exec.toUpper().contains(program) || unescapeExec(exec).toUpper().contains(program);
    const QString button = yes ? ctl::rbYes : ctl::rbNo;
    if (m_settings.checked(button))
        return;
    m_settings.setChecked(button, true);
    if (yes)
        rbYesClick();
    else
        rbNoClick();
}

} // namespace gw
