#pragma once
// The renderer's command line, built afresh from the settings for every render.
#include <QRandomGenerator>
#include <QStringList>

namespace gw {

class RendererLayout;
class SettingsAccess;

// The argument entries after the executable and the free-text parameter, in order. Reads
// settings and tests whether the background picture exists; nothing else. `random` draws the
// projection for "random" (the default generator is seeded by the system).
QStringList GenParameterListFromNewEasy(const SettingsAccess& settings, const RendererLayout& layout,
    QRandomGenerator& random = *QRandomGenerator::global());

// The "-center " entry: each coordinate with its sign, "+" for zero and above.
QString centerEntry(int x, int y);

} // namespace gw
