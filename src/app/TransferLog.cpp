#include "app/TransferLog.h"

#include "shared/Error.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>

namespace gw {

TransferLog::TransferLog(QPlainTextEdit* memo, QLabel* statusPanel)
    : m_memo(memo)
    , m_status(statusPanel)
{
}

void TransferLog::appendLine(const QString& line)
{
    const int before = m_memo->blockCount();
    const bool wasEmpty = m_memo->document()->isEmpty();
    m_memo->appendPlainText(line);
    // A message holding a line break becomes several memo lines; all of them reach the file.
    const int added = wasEmpty ? m_memo->blockCount() : m_memo->blockCount() - before;
    mTransferChange(added);
}

void TransferLog::mTransferChange(int addedLines)
{
    const QTextDocument* doc = m_memo->document();
    const QString lastLine = doc->lastBlock().text();
    if (m_status)
        m_status->setText(lastLine);
    if (m_logFile.isEmpty())
        return;

    QFile file(m_logFile);
    QString text;
    QIODevice::OpenMode mode;
    if (file.exists()) {
        // Existing file: append what was just added.
        QStringList added;
        for (QTextBlock b = doc->lastBlock(); b.isValid() && added.size() < addedLines; b = b.previous())
            added.prepend(b.text());
        text = added.join(QLatin1Char('\n')) + QLatin1Char('\n');
        mode = QIODevice::WriteOnly | QIODevice::Append;
    } else {
        // No file (first line of a run, or deleted meanwhile): the whole memo.
        text = m_memo->toPlainText() + QLatin1Char('\n');
        mode = QIODevice::WriteOnly;
    }
    const QByteArray bytes = text.toUtf8();
    if (!file.open(mode) || file.write(bytes) != bytes.size() || !file.flush())
        throw Error(QStringLiteral("Could not write the log file %1: %2").arg(m_logFile, file.errorString()));
}

} // namespace gw
