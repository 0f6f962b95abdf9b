#include "shared/Scramble.h"

namespace gw {

QByteArray Crypt(const QByteArray& text)
{
    QByteArray out = text;
    for (char& c : out)
        c = static_cast<char>(static_cast<unsigned char>(c) ^ 0x9C);
    return out;
}

} // namespace gw
