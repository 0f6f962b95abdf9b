#pragma once
// Settings an administrator sets once for every user of the machine, in
// "$XDG_CONFIG_DIRS/Globewall/Globewall.ini" ("/etc/xdg/Globewall/Globewall.ini" when the
// variable is unset): the mirror, the proxy, the layers' rows. They lie beneath the user's own
// file: a key the user's file holds wins, and a save writes into the user's file only what the
// user changed, so a later change of the defaults still reaches every user who kept them.
#include "settings/IniFile.h"

#include <QStringList>

namespace gw::systemdefaults {

// The files, the most important first: the folders of XDG_CONFIG_DIRS in their order.
QStringList files();

// The files read together, an earlier one winning key by key; what cannot be read is skipped,
// with its error in `errors`.
IniFile read(const QStringList& files, QStringList* errors);

// `own` laid over `defaults`: keys by key; a list (the time list, the time servers, the
// download list, the satellite and marker files) whole, from the file that holds it.
IniFile beneath(const IniFile& own, const IniFile& defaults);

// Takes out of `saved` what it holds only because the defaults gave it: keys and lists that
// `before` (the file as it was before the save) lacked and whose value is still the default's.
void leaveOut(IniFile& saved, const IniFile& before, const IniFile& defaults);

} // namespace gw::systemdefaults
