#pragma once
// The one way a test waits for something: `done` is asked again and again, with the event loop
// run in between, until it holds or `timeoutMs` has passed. The answer says which, so the
// caller's assertion names what never came instead of a test hanging.
#include <functional>

namespace gwtest {

bool waitUntil(const std::function<bool()>& done, int timeoutMs);

} // namespace gwtest
