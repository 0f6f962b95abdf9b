#include "scheduler/ScreenLockSource.h"

namespace gw {

void ScreenLockSources::add(std::unique_ptr<ScreenLockSource> source)
{
    connect(source.get(), &ScreenLockSource::changed, this, &ScreenLockSources::changed);
    m_sources.push_back(std::move(source));
}

// Every source is asked, so each one learns of its service at the first question.
bool ScreenLockSources::active()
{
    bool any = false;
    for (const auto& source : m_sources)
        any |= source->active().value_or(false);
    return any;
}

bool ScreenLockSources::activeEndsWithEvent()
{
    for (const auto& source : m_sources) {
        if (source->active().value_or(false) && !source->announcesChanges())
            return false;
    }
    return true;
}

} // namespace gw
