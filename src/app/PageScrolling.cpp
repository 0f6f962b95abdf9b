#include "app/PageScrolling.h"

#include <QEvent>
#include <QLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace gw {

PageScrollArea::PageScrollArea(QWidget* parent)
    : QScrollArea(parent)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

// QScrollArea bounds its hint to a few dozen lines of text, which would shrink the window
// below what its pages show at once.
QSize PageScrollArea::sizeHint() const
{
    const QWidget* page = widget();
    if (!page)
        return QScrollArea::sizeHint();
    const int frame = 2 * frameWidth();
    return QSize(page->sizeHint().width(), page->minimumSizeHint().height()) + QSize(frame, frame);
}

void putPagesInScrollAreas(QTabWidget* pages)
{
    for (int i = 0; i < pages->count(); ++i) {
        QWidget* page = pages->widget(i);
        QLayout* contents = page->layout();
        if (!contents)
            continue;
        // Only the innermost pages scroll: scroll areas inside scroll areas fight for the wheel.
        bool holdsPages = false;
        for (int item = 0; item < contents->count(); ++item)
            holdsPages |= qobject_cast<QTabWidget*>(contents->itemAt(item)->widget()) != nullptr;
        if (holdsPages)
            continue;
        auto* inner = new QWidget;
        inner->setObjectName(page->objectName() + QStringLiteral("Contents"));
        // The layout moves over with every control it holds.
        inner->setLayout(contents);
        auto* area = new PageScrollArea(page);
        area->setObjectName(page->objectName() + QStringLiteral("Scroll"));
        area->setWidget(inner);
        // The page's own background, not the scroll area's base colour.
        area->viewport()->setAutoFillBackground(false);
        inner->setAutoFillBackground(false);
        auto* layout = new QVBoxLayout(page);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(area);
    }
}

namespace {

    // Scrolls to the last line at each show and at the first resize after it: a memo filled
    // before it has its size would otherwise open at its oldest line.
    class NewestLine : public QObject
    {
    public:
        explicit NewestLine(QPlainTextEdit* memo)
            : QObject(memo)
            , m_memo(memo)
        {
            memo->installEventFilter(this);
        }

        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Show) {
                m_settling = true;
                toEnd();
            } else if (event->type() == QEvent::Resize && m_settling) {
                m_settling = false;
                toEnd();
            }
            return false;
        }

    private:
        void toEnd()
        {
            m_memo->moveCursor(QTextCursor::End);
            QScrollBar* bar = m_memo->verticalScrollBar();
            bar->setValue(bar->maximum());
        }

        QPlainTextEdit* m_memo;
        bool m_settling = false;
    };

} // namespace

void openAtNewestLine(QPlainTextEdit* memo)
{
    new NewestLine(memo);
}

} // namespace gw
