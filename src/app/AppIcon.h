#pragma once
#include <QIcon>

namespace gw {

// The program's globe icon, drawn by code at the usual icon sizes.
QIcon globewallIcon();

} // namespace gw
