#pragma once
// Built-in host names and addresses, in one place so tests can point them at loopback.
#include <QString>

namespace gw::defaults {

inline const QString TimeServer = QStringLiteral("pool.ntp.org");
inline const QString PingServer = QStringLiteral("www.debian.org");

} // namespace gw::defaults
