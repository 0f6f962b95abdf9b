#pragma once
// The transfer log: lines appended to the memo mTransfer, mirrored into "Globewall.log"
// beside the program (never truncated, across runs) and shown in the status bar.
#include "shared/LogSink.h"

#include <QPointer>
#include <QString>

class QLabel;
class QPlainTextEdit;

namespace gw {

class TransferLog : public LogSink
{
public:
    TransferLog(QPlainTextEdit* memo, QLabel* statusPanel);

    // ProgramDir + "Globewall.log"; empty: the file is not written.
    void setLogFile(const QString& path) { m_logFile = path; }
    const QString& logFile() const { return m_logFile; }

    // Adds the line to the memo, then runs mTransferChange. A file that cannot be written
    // raises gw::Error naming it; the line stays in the memo.
    void appendLine(const QString& line) override;

private:
    void mTransferChange(int addedLines);

    QPointer<QPlainTextEdit> m_memo;
    QPointer<QLabel> m_status;
    QString m_logFile;
};

} // namespace gw
