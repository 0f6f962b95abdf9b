#pragma once
// The transfer log: this run's lines, mirrored into "Globewall.log" beside the program (never
// truncated, across runs), shown in the status bar and in the memo mTransfer.
//
// The memo is handed the lines only while it is on screen. A program that lives in the tray for
// weeks logs a line a minute into a page nobody opens; held as one block of text such a line
// costs its bytes, laid out in the memo's document several times that.
#include "shared/LogSink.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QLabel;
class QPlainTextEdit;

namespace gw {

class TransferLog : public QObject, public LogSink
{
    Q_OBJECT

public:
    TransferLog(QPlainTextEdit* memo, QLabel* statusPanel);

    // ProgramDir + "Globewall.log"; empty: the file is not written.
    void setLogFile(const QString& path) { m_logFile = path; }
    const QString& logFile() const { return m_logFile; }

    // Adds the line (a message with line breaks becomes several lines), then runs
    // mTransferChange. A file that cannot be written raises gw::Error naming it; the line stays.
    void appendLine(const QString& line) override;

    // This run's lines, as the memo shows them.
    QString text() const;

signals:
    // Each appended message, whole, as it was handed in.
    void lineAppended(const QString& line);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void mTransferChange(const QByteArray& added, const QString& lastLine);
    void showInMemo();

    QPointer<QPlainTextEdit> m_memo;
    QPointer<QLabel> m_status;
    QString m_logFile;
    QByteArray m_lines; // UTF-8, every line ending in '\n'
    qsizetype m_inMemo = 0; // bytes of m_lines the memo holds
};

} // namespace gw
