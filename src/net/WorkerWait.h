#pragma once
// Network calls block, yet the window must keep answering clicks and timer ticks meanwhile.
// The blocking work runs on its own thread while the calling thread spins a local event loop.
#include <functional>

namespace gw {

struct WorkerWaitOptions
{
    // Called on the calling thread every `tickMs` while the work runs (progress display).
    std::function<void()> tick;
    int tickMs = 50;
    // Called on the calling thread when the event loop ended before the work did (the
    // application quits); the work must then finish soon, because it is joined.
    std::function<void()> requestStop;
};

// Runs `work` on a new thread and returns once it has finished; the thread is always joined.
// `work` must not throw.
void runWhileProcessingEvents(const std::function<void()>& work, const WorkerWaitOptions& options = {});

} // namespace gw
