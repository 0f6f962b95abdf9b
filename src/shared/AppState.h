#pragma once
// The little state that has no control: the busy flags that guard against re-entry while a
// render or a transfer waits in a local event loop, and the scheduler's time stamps.
#include "shared/DateTime.h"

#include <QString>

namespace gw {

struct AppState
{
    bool DownloadBusy = false; // a download runs, or the update dialog is open
    bool RenderBusy = false; // the renderer runs
    bool TimedDownloadBusy = false; // a scheduled download job runs
    bool PingBusy = false; // a reachability test runs
    bool JobBusy = false; // a download job runs, from its first check to its end

    TDateTime LastRenderTime = 0;
    TDateTime LastCloudCheckTime = 0;
    TDateTime LastFileCheckTime = 0;
    bool CloudTimeDue = false;
    QString LastCloudTimeEntry;

    int MD5RetryCount = 0;

    bool anyBusy() const { return DownloadBusy || RenderBusy || TimedDownloadBusy || PingBusy || JobBusy; }
};

} // namespace gw
