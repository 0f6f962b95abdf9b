#pragma once
// A call to the desktop portal answers at once with a request object; the outcome comes later
// as that request's Response signal (0 success, 1 cancelled, 2 failed otherwise).
#include <QObject>
#include <QString>
#include <QVariantList>

namespace gw {

class PortalRequest : public QObject
{
    Q_OBJECT

public:
    // Calls `method` of `interface` on the portal with `arguments`, whose last one is the
    // options map: a handle token is added to it so the Response can be listened for before
    // the call. Waits for the Response, all within `timeoutMs`. Empty on success, else why.
    static QString call(const QString& interface, const QString& method, QVariantList arguments, int timeoutMs);

public Q_SLOTS:
    void Response(uint response, const QVariantMap& results);

Q_SIGNALS:
    void answered();

private:
    bool m_answered = false;
    uint m_response = 0;
};

} // namespace gw
