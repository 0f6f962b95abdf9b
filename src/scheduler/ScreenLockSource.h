#pragma once
// Who can say that nobody sees the desktop: each screensaver service, the login session, the
// X server. One small source per kind; the list merges them: any source that says "active"
// gates, and a source that is absent or fails is left out.
#include <QObject>

#include <memory>
#include <optional>
#include <vector>

namespace gw {

class ScreenLockSource : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // True when the screen is locked, blanked or away; nothing when the source is not there.
    virtual std::optional<bool> active() = 0;
    // False when a change of the answer comes with no event, so it must be asked again later.
    virtual bool announcesChanges() const { return true; }

signals:
    // The answer may have changed.
    void changed();
};

class ScreenLockSources : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    void add(std::unique_ptr<ScreenLockSource> source);
    bool active();
    // Whether the end of the current "active" is announced by an event (every source that
    // says "active" announces its changes).
    bool activeEndsWithEvent();
    int count() const { return static_cast<int>(m_sources.size()); }

signals:
    void changed();

private:
    std::vector<std::unique_ptr<ScreenLockSource>> m_sources;
};

} // namespace gw
