#pragma once
// The free live cloud maps offered beside the cloud address (their licence asks for the credit
// line shown beside them). Nothing is stored for the choice: it is read back from the address.
#include <QString>
#include <QStringList>

namespace gw::cloudsources {

// The captions of the drop-down: the user's own address first, then each live size.
QStringList captions();
// The address of drop-down entry `index`; empty for the user's own address.
QString address(int index);
// The local file name for entry `index`, the width in it as in "clouds_2048.jpg".
QString fileName(int index);
// The entry `url` is; 0 (own address) for any other address.
int indexOf(const QString& url);
// Where an address this drop-down once offered is published today; empty for any other
// address. The earlier copy of the live maps stopped changing when they moved to a host of
// their own.
QString movedAddress(const QString& url);

} // namespace gw::cloudsources
