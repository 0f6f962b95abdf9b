#pragma once
// The satellite-element site refuses a repeat download of data it has not updated since the
// same address last fetched it (403, body "GP data has not updated since <date>"). Behind one
// shared address that is another computer's download, not a refusal of this one.
#include <QByteArray>
#include <QString>

namespace gw {

// The date of such a body, as the server wrote it; empty for any other body.
QString notUpdatedSince(const QByteArray& refusalBody);

} // namespace gw
