#include "app/TransferLog.h"

#include "shared/AtomicFile.h"
#include "shared/Error.h"
#include "shared/OutsideText.h"

#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>

namespace gw {

namespace {

    // The memo's own line breaks: CR LF, CR, LF and the paragraph separator each end a line.
    QString withPlainLineBreaks(const QString& text)
    {
        QString out = text;
        out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        out.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        return out;
    }

} // namespace

TransferLog::TransferLog(QPlainTextEdit* memo, QLabel* statusPanel)
    : m_memo(memo)
    , m_status(statusPanel)
{
    if (m_memo)
        m_memo->installEventFilter(this);
}

void TransferLog::appendLine(const QString& line)
{
    // Whatever a line quotes (a server's words, a feed's labels, a file name) reaches the log
    // file, the window and the status bar without a control character.
    const QString lines = plainOutsideText(withPlainLineBreaks(line), LineBreaks::Keep);
    const QByteArray added = lines.toUtf8() + '\n';
    m_lines += added;
    if (m_memo && m_memo->isVisible())
        showInMemo();
    emit lineAppended(line); // its readers (notifications) clean it themselves
    mTransferChange(added, lines.mid(lines.lastIndexOf(QLatin1Char('\n')) + 1));
}

QString TransferLog::text() const
{
    return QString::fromUtf8(m_lines.chopped(m_lines.isEmpty() ? 0 : 1));
}

void TransferLog::mTransferChange(const QByteArray& added, const QString& lastLine)
{
    if (m_status)
        m_status->setText(lastLine);
    if (m_logFile.isEmpty())
        return;

    // No file (first line of a run, or deleted meanwhile): the whole of this run's log.
    const bool whole = !QFileInfo(m_logFile).exists() && !QFileInfo(m_logFile).isSymLink();
    QString error;
    // Neither way writes through a link of another user.
    const bool written = whole ? writeFileAtomically(m_logFile, m_lines, &error, Flush::Skip)
                               : appendToOwnFile(m_logFile, added, &error);
    if (!written)
        throw Error(QStringLiteral("Could not write the log file %1: %2").arg(m_logFile, error));
}

bool TransferLog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_memo && event->type() == QEvent::Show)
        showInMemo();
    return false;
}

void TransferLog::showInMemo()
{
    if (m_inMemo == m_lines.size())
        return;
    // The lines that came while the memo was hidden, as one append: one layout, one scroll.
    m_memo->appendPlainText(QString::fromUtf8(m_lines.mid(m_inMemo).chopped(1)));
    m_inMemo = m_lines.size();
}

} // namespace gw
