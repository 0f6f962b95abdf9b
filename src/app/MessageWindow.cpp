#include "app/MessageWindow.h"
#include "app/PageScrolling.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

MessageWindow::MessageWindow(QWidget* mainWindow)
    : QWidget(nullptr, Qt::Window)
    , m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("XPlanet messages"));
    resize(311, 283);

    m_output = new QPlainTextEdit(this);
    m_output->setObjectName(QStringLiteral("mDebugOutput"));
    m_output->setReadOnly(true);
    // Appended for the whole run and never edited: no undo history to keep.
    m_output->setUndoRedoEnabled(false);
    m_output->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_output->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    gw::openAtNewestLine(m_output);

    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("btnCloseDebugWindow"));
    connect(m_close, &QPushButton::clicked, this, &MessageWindow::btnCloseDebugWindowClick);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(m_output, 1);
    layout->addWidget(m_close, 0, Qt::AlignHCenter);
}

void MessageWindow::appendLines(const QStringList& lines)
{
    for (const QString& l : lines)
        m_output->appendPlainText(l);
}

void MessageWindow::showWindow()
{
    QRect area = screen() ? screen()->availableGeometry() : QRect();
    QPoint centre = m_mainWindow ? m_mainWindow->frameGeometry().center() : area.center();
    // The main window may still be parked below the desktop: then centre on the desktop.
    if (area.isValid() && !area.contains(centre))
        centre = area.center();
    QRect r = frameGeometry();
    r.moveCenter(centre);
    move(r.topLeft());
    show();
    raise();
}

void MessageWindow::btnCloseDebugWindowClick()
{
    hide();
}

MessageWindowOnDemand::MessageWindowOnDemand(QWidget* mainWindow)
    : m_mainWindow(mainWindow)
{
}

MessageWindowOnDemand::~MessageWindowOnDemand() = default;

void MessageWindowOnDemand::appendLines(const QStringList& lines)
{
    if (m_window)
        m_window->appendLines(lines);
    else
        m_waiting << *m_distinctBlocks.insert(lines.join(QLatin1Char('\n')));
}

void MessageWindowOnDemand::showWindow()
{
    if (!m_window) {
        m_window = std::make_unique<MessageWindow>(m_mainWindow);
        m_window->appendLines(m_waiting);
        m_waiting = QStringList();
        m_distinctBlocks = QSet<QString>();
    }
    m_window->showWindow();
}

void MessageWindowOnDemand::close()
{
    if (m_window)
        m_window->close();
}
