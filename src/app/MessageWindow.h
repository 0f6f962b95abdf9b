#pragma once
// The message window "XPlanet messages": the renderer's command lines and output, appended
// after each render and kept for the whole run. "Close" only hides it.
#include "shared/LogSink.h"

#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QWidget>

#include <memory>

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

// The message window as the program holds it: made when it is first shown, as a start shows
// only the tray; the lines appended until then wait here and fill it when it appears. Renders
// with unchanged settings append the same block again and again, so the waiting blocks share
// one copy of each distinct text: a program that renders for weeks with the window never
// shown does not grow by a block a render.
class MessageWindowOnDemand : public gw::MessageWindowSink
{
public:
    explicit MessageWindowOnDemand(QWidget* mainWindow = nullptr);
    ~MessageWindowOnDemand() override;

    void appendLines(const QStringList& lines) override;
    void showWindow() override;
    // Null until first shown.
    MessageWindow* window() const { return m_window.get(); }
    void close();

private:
    QPointer<QWidget> m_mainWindow;
    QStringList m_waiting; // one entry a block, lines joined
    QSet<QString> m_distinctBlocks;
    std::unique_ptr<MessageWindow> m_window;
};
