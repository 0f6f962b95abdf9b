#pragma once
// sway keeps a window put into its scratchpad out of sight without telling the program, and
// does not let a program bring its own window to the front: both are asked of sway itself.
#include <QByteArray>
#include <QStringList>

namespace gw {

// The sway commands that bring the window of process `pid` into view and focus, given sway's
// answer to get_tree: out of the scratchpad when it lies there. None when the process has no
// window in the tree (a hidden window maps itself when shown).
QStringList swayShowCommands(const QByteArray& tree, qint64 pid);

// Asks sway for its tree and runs those commands, over its IPC socket in a sway session
// ($SWAYSOCK); elsewhere nothing.
void showOnSway(qint64 pid);

} // namespace gw
