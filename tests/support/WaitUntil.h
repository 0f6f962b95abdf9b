#pragma once
// The one way a test waits for something: `done` is asked again and again, with the event loop
// run in between, until it holds or `timeoutMs` has passed. The answer says which, so the
// caller's assertion names what never came instead of a test hanging.
#include <functional>

namespace gwtest {

// `pollMs` spaces the questions out when asking is costly (a screenshot, a process).
bool waitUntil(const std::function<bool()>& done, int timeoutMs, int pollMs = 5);

} // namespace gwtest
