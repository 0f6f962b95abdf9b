#pragma once
// The message window "XPlanet messages": the renderer's command lines and output, appended
// after each render and kept for the whole run. "Close" only hides it.
#include "shared/LogSink.h"

#include <QPointer>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

class MessageWindow : public QWidget, public gw::MessageWindowSink
{
    Q_OBJECT

public:
    // `mainWindow` is the window it is centred over when shown.
    explicit MessageWindow(QWidget* mainWindow = nullptr);

    void appendLines(const QStringList& lines) override;
    void showWindow() override;
    void btnCloseDebugWindowClick();

    QPlainTextEdit* mDebugOutput() const { return m_output; }

private:
    QPointer<QWidget> m_mainWindow;
    QPlainTextEdit* m_output;
    QPushButton* m_close;
};
