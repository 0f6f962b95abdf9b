#pragma once
// Typed keys of the settings: gw::ctl::cbUseProxy names the setting (and control)
// "cbUseProxy". They come from SettingsTable.def, so a misspelt name does not compile.
#include <QString>

namespace gw::ctl {

#define GW_SETTING(name, ...) inline const QString name = QStringLiteral(#name);
#include "settings/SettingsTable.def"
#undef GW_SETTING

} // namespace gw::ctl
