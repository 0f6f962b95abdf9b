#pragma once
#include <QIcon>

namespace gw {

// The program's globe icon at the usual icon sizes: the pictures the menu entry shows.
QIcon globewallIcon();

} // namespace gw
