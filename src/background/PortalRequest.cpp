#include "background/PortalRequest.h"

#include "background/BusCall.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace gw {

namespace {

    const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
    const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

    QString responseText(uint response)
    {
        if (response == 1)
            return QStringLiteral("cancelled");
        return QStringLiteral("failed");
    }

} // namespace

void PortalRequest::Response(uint response, const QVariantMap& /*results*/)
{
    m_answered = true;
    m_response = response;
    Q_EMIT answered();
}

QString PortalRequest::call(const QString& interface, const QString& method, QVariantList arguments, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QDBusConnection bus = QDBusConnection::sessionBus();
    // The request's path follows from our bus name and the token; listening before the call
    // means a quick answer cannot be missed.
    static int counter = 0;
    const QString token = QStringLiteral("globewall%1").arg(++counter);
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString expected
        = QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + QLatin1Char('/') + token;
    QVariantMap options = arguments.isEmpty() ? QVariantMap() : arguments.last().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    if (!arguments.isEmpty())
        arguments.last() = options;

    PortalRequest request;
    const auto listen = [&](const QString& path) {
        bus.connect(kService, path, kRequest, QStringLiteral("Response"), &request, SLOT(Response(uint, QVariantMap)));
    };
    listen(expected);
    QString error;
    const QDBusMessage reply = callSessionBus(
        kService, QStringLiteral("/org/freedesktop/portal/desktop"), interface, method, arguments, timeoutMs, &error);
    if (!error.isEmpty())
        return error;
    // Older portals choose the path themselves.
    const QString handle = reply.arguments().value(0).value<QDBusObjectPath>().path();
    if (!handle.isEmpty() && handle != expected)
        listen(handle);

    if (!request.m_answered) {
        QEventLoop loop;
        QObject::connect(&request, &PortalRequest::answered, &loop, &QEventLoop::quit);
        QTimer::singleShot(std::max<qint64>(0, deadline.remainingTime()), &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!request.m_answered)
        return kService + QStringLiteral(" gave no answer to ") + method + QStringLiteral(" within ")
            + QString::number(timeoutMs / 1000.0) + QStringLiteral(" s");
    if (request.m_response != 0)
        return kService + QStringLiteral(" refused ") + method + QStringLiteral(": response ")
            + QString::number(request.m_response) + QStringLiteral(" (") + responseText(request.m_response)
            + QLatin1Char(')');
    return {};
}

} // namespace gw
