#pragma once
// The script Plasma's shell runs to show the pictures: each desktop is one screen; a screen
// gets the picture whose monitor lies where the screen does, else the one of its index.
#include "background/DesktopBackend.h"

namespace gw {

QString plasmaScript(const QVector<Picture>& pictures);

} // namespace gw
