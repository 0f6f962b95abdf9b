#pragma once
// The site's mirror of the built-in sources (setting "Mirror"): a cache on the site's network
// that holds one copy of each source for every desktop behind it. An address of a row of the
// source table is asked at "<base>/<host>/<path and query>"; any other address as it is. The
// source's own rules (cadence, gap, stop rule) stay with the source's address.
#include "net/DownloadEngine.h"

#include <QString>

namespace gw {

class SettingsAccess;

namespace mirror {

    // The base as the setting gives it, trimmed and without a closing "/"; empty when the
    // setting is empty, or (with `problem` saying why) when it is no http or https address.
    QString baseOf(const QString& setting, QString* problem = nullptr);

    // Where `url` is asked: through `base` when it belongs to a built-in source, else itself.
    QString addressFor(const QString& base, const QString& url);

    // "none", the base, or the setting with why it is not used: the mirror as "--status" shows it.
    QString statusText(const QString& setting);

    // The engine's route of each address by the setting of the moment: through the mirror a
    // shared cache may answer; directly the request goes past any cache, as always.
    DownloadEngine::Router router(const SettingsAccess& settings);

} // namespace mirror
} // namespace gw
