#pragma once
#include <QByteArray>

namespace gw {

// XOR with 0x9C: a scramble against casual reading of the proxy password, its own inverse.
QByteArray Crypt(const QByteArray& text);

} // namespace gw
