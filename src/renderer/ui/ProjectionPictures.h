#pragma once
// The preview pictures of the projection choice: one per projection list entry, in its order,
// compiled into the program.
#include <QPixmap>
#include <QSize>
#include <QStringList>

namespace gw {

inline constexpr QSize ProjectionPictureSize { 240, 180 };

// Registers the compiled-in pictures; the program calls it once before the first picture is
// shown (resources of a static library are not registered by themselves).
void initProjectionPictures();

int projectionPictureCount();
// The picture for entry `index` of projectionList(); a null pixmap outside the list.
QPixmap projectionPicture(int index);

// Which entry the projection choice shows after a change: the selected entry while the text
// is still that entry's text, else the entry equal to the typed text without regard to case,
// else -1 (no entry: the previous picture stays).
int projectionEntryFor(const QString& text, int selectedIndex);

} // namespace gw
