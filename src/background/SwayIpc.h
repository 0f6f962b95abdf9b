#pragma once
// sway's IPC socket ($SWAYSOCK). The protocol: "i3-ipc", payload length and type as native
// 32-bit numbers, payload; the reply has the same header and a JSON body.
#include <QByteArray>
#include <QString>

namespace gw {

enum class SwayMessage : quint32 { RunCommand = 0, GetOutputs = 3, GetTree = 4 };

// One request and its reply's body (at most 1 MiB); an empty text on success, else the reason.
QString swayRequest(SwayMessage type, const QByteArray& payload, int timeoutMs, QByteArray* reply);

} // namespace gw
