#pragma once
// The window's pages at any scale: each page scrolls where the screen is too small for it,
// and the logs open at their newest line.
#include <QScrollArea>

class QPlainTextEdit;
class QTabWidget;

namespace gw {

// A page's scroll area. It asks for the room its page needs (as wide as the page would like, as
// high as it needs at least), so a window with room shows the page whole; given less, it scrolls.
class PageScrollArea : public QScrollArea
{
public:
    explicit PageScrollArea(QWidget* parent = nullptr);
    QSize sizeHint() const override;
};

// Puts what each page of `pages` holds into a scroll area on that page. The pages themselves
// stay the tab widget's pages, so everything that selects a page by its widget still works. A
// page that holds page controls of its own is left as it is: its inner pages scroll instead.
void putPagesInScrollAreas(QTabWidget* pages);

// `memo` shows its newest line when it is shown, also once its final size is known.
void openAtNewestLine(QPlainTextEdit* memo);

} // namespace gw
