#include "settings/SecretServiceVault.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QMap>

#include <algorithm>

namespace {

// The secret as the service passes it: session, parameters, value, content type.
struct SecretValue
{
    QDBusObjectPath session;
    QByteArray parameters;
    QByteArray value;
    QString contentType;
};

} // namespace

Q_DECLARE_METATYPE(SecretValue)

namespace {

QDBusArgument& operator<<(QDBusArgument& out, const SecretValue& s)
{
    out.beginStructure();
    out << s.session << s.parameters << s.value << s.contentType;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, SecretValue& s)
{
    in.beginStructure();
    in >> s.session >> s.parameters >> s.value >> s.contentType;
    in.endStructure();
    return in;
}

using Attributes = QMap<QString, QString>;

const QString kService = QStringLiteral("org.freedesktop.secrets");
const QString kServicePath = QStringLiteral("/org/freedesktop/secrets");
const QString kServiceInterface = QStringLiteral("org.freedesktop.Secret.Service");
const QString kItemInterface = QStringLiteral("org.freedesktop.Secret.Item");
const QString kNoPrompt = QStringLiteral("/");
// A keyring that waits for a user who is not there must not hold up a save for long; this is
// each call's own limit when no deadline was set.
constexpr int kCallTimeoutMs = 5000;
const QString kTooSlow = QStringLiteral("the keyring did not answer in time");

// What is left of `deadline` for one call, at most kCallTimeoutMs; 0 when it has passed.
int callTimeout(const QDeadlineTimer& deadline)
{
    if (deadline.isForever())
        return kCallTimeoutMs;
    return static_cast<int>(std::min<qint64>(deadline.remainingTime(), kCallTimeoutMs));
}

// One call that ends by `deadline`: an answer that does not come in time, or a call past it,
// is a Timeout error that says so.
QDBusMessage callBy(QDBusConnection& bus, const QDBusMessage& message, const QDeadlineTimer& deadline)
{
    const int timeout = callTimeout(deadline);
    if (timeout <= 0)
        return message.createErrorReply(QDBusError::Timeout, kTooSlow);
    QDBusMessage reply = bus.call(message, QDBus::Block, timeout);
    if (reply.type() == QDBusMessage::ErrorMessage
        && (reply.errorName() == QDBusError::errorString(QDBusError::NoReply)
            || reply.errorName() == QDBusError::errorString(QDBusError::Timeout)))
        return message.createErrorReply(QDBusError::Timeout, kTooSlow);
    return reply;
}

void registerTypes()
{
    static const bool done = [] {
        qDBusRegisterMetaType<SecretValue>();
        qDBusRegisterMetaType<Attributes>();
        return true;
    }();
    (void)done;
}

Attributes attributesFor(const QString& settingsFile)
{
    return { { QStringLiteral("application"), QStringLiteral("Globewall") },
        { QStringLiteral("purpose"), QStringLiteral("proxy password") },
        { QStringLiteral("settings-file"), settingsFile } };
}

} // namespace

namespace gw {

// One session with the service, closed when done. "plain" keeps the secret as it is on the
// session bus, which only this user's processes can reach.
class SecretServiceVault::Session
{
public:
    Session(QDBusConnection& bus, const QDeadlineTimer& deadline)
        : m_bus(bus)
        , m_deadline(deadline)
    {
        QDBusMessage reply = call(kServicePath, kServiceInterface, QStringLiteral("OpenSession"),
            { QStringLiteral("plain"), QVariant::fromValue(QDBusVariant(QString())) });
        if (!failed(reply) && reply.arguments().size() == 2)
            m_path = reply.arguments().at(1).value<QDBusObjectPath>();
        else if (m_error.isEmpty())
            m_error = QStringLiteral("no session");
    }
    // The close is sent without waiting for its answer: a keyring that stopped answering must
    // not hold up the end of a save.
    ~Session()
    {
        if (!m_path.path().isEmpty())
            m_bus.send(QDBusMessage::createMethodCall(
                kService, m_path.path(), QStringLiteral("org.freedesktop.Secret.Session"), QStringLiteral("Close")));
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool open() const { return !m_path.path().isEmpty(); }
    const QDBusObjectPath& path() const { return m_path; }
    const QString& error() const { return m_error; }

    QDBusMessage call(const QString& object, const QString& interface, const QString& method, const QVariantList& args)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(kService, object, interface, method);
        message.setArguments(args);
        return callBy(m_bus, message, m_deadline);
    }
    // True (with the error kept) when `reply` is an error.
    bool failed(const QDBusMessage& reply)
    {
        if (reply.type() != QDBusMessage::ErrorMessage)
            return false;
        m_error = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
        return true;
    }

    // The items for `file`: unlocked and locked. False when the session did not open either.
    bool search(const QString& file, QList<QDBusObjectPath>* unlocked, QList<QDBusObjectPath>* locked)
    {
        if (!open())
            return false;
        const QDBusMessage reply = call(kServicePath, kServiceInterface, QStringLiteral("SearchItems"),
            { QVariant::fromValue(attributesFor(file)) });
        if (failed(reply) || reply.arguments().size() != 2)
            return false;
        *unlocked = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().at(0));
        *locked = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().at(1));
        return true;
    }

private:
    QDBusConnection& m_bus;
    QDeadlineTimer m_deadline;
    QDBusObjectPath m_path;
    QString m_error;
};

namespace {

    PasswordVault::Outcome refused(QString* why, const QString& text)
    {
        if (why)
            *why = text;
        return PasswordVault::Outcome::Refused;
    }

} // namespace

SecretServiceVault::SecretServiceVault(const QDBusConnection& bus)
    : m_bus(bus)
{
    registerTypes();
}

bool SecretServiceVault::available()
{
    // Only a running service counts: starting one on demand could put up a first-run prompt.
    if (!m_bus.isConnected())
        return false;
    if (callTimeout(m_deadline) <= 0)
        return true; // it was there; the calls themselves say that time ran out
    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
        QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
        QStringLiteral("NameHasOwner"));
    ask << kService;
    const QDBusMessage reply = callBy(m_bus, ask, m_deadline);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
        && reply.arguments().at(0).toBool();
}

PasswordVault::Outcome SecretServiceVault::store(const QString& settingsFile, const QString& password, QString* why)
{
    if (!available())
        return Outcome::Unavailable;
    Session session(m_bus, m_deadline);
    if (!session.open())
        return refused(why, session.error());
    const QDBusMessage alias
        = session.call(kServicePath, kServiceInterface, QStringLiteral("ReadAlias"), { QStringLiteral("default") });
    if (session.failed(alias) || alias.arguments().isEmpty())
        return refused(why, session.error());
    const QString collection = alias.arguments().at(0).value<QDBusObjectPath>().path();
    if (collection.isEmpty() || collection == kNoPrompt)
        return refused(why, QStringLiteral("the keyring has no default collection"));
    const QDBusMessage lockedReply = session.call(collection, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"), { QStringLiteral("org.freedesktop.Secret.Collection"), QStringLiteral("Locked") });
    if (session.failed(lockedReply) || lockedReply.arguments().isEmpty())
        return refused(why, session.error());
    if (lockedReply.arguments().at(0).value<QDBusVariant>().variant().toBool())
        return refused(why, QStringLiteral("the keyring is locked"));

    QVariantMap properties;
    properties.insert(QStringLiteral("org.freedesktop.Secret.Item.Label"), QStringLiteral("Globewall proxy password"));
    properties.insert(
        QStringLiteral("org.freedesktop.Secret.Item.Attributes"), QVariant::fromValue(attributesFor(settingsFile)));
    const SecretValue secret { session.path(), QByteArray(), password.toUtf8(),
        QStringLiteral("text/plain; charset=utf8") };
    const QDBusMessage created = session.call(collection, QStringLiteral("org.freedesktop.Secret.Collection"),
        QStringLiteral("CreateItem"), { properties, QVariant::fromValue(secret), true });
    if (session.failed(created) || created.arguments().size() != 2)
        return refused(why, session.error());
    if (created.arguments().at(1).value<QDBusObjectPath>().path() != kNoPrompt)
        return refused(why, QStringLiteral("the keyring asks for confirmation"));
    return Outcome::Done;
}

PasswordVault::Outcome SecretServiceVault::lookup(const QString& settingsFile, QString* password, QString* why)
{
    if (!available())
        return Outcome::Unavailable;
    Session session(m_bus, m_deadline);
    QList<QDBusObjectPath> unlocked, locked;
    if (!session.search(settingsFile, &unlocked, &locked))
        return refused(why, session.error());
    if (unlocked.isEmpty()) {
        if (why && !locked.isEmpty())
            *why = QStringLiteral("the keyring is locked");
        return locked.isEmpty() ? Outcome::NotFound : Outcome::Refused;
    }
    const QDBusMessage reply = session.call(
        unlocked.first().path(), kItemInterface, QStringLiteral("GetSecret"), { QVariant::fromValue(session.path()) });
    if (session.failed(reply) || reply.arguments().isEmpty())
        return refused(why, session.error());
    const SecretValue secret = qdbus_cast<SecretValue>(reply.arguments().at(0));
    if (password)
        *password = QString::fromUtf8(secret.value);
    return Outcome::Done;
}

PasswordVault::Outcome SecretServiceVault::remove(const QString& settingsFile, QString* why)
{
    if (!available())
        return Outcome::Unavailable;
    Session session(m_bus, m_deadline);
    QList<QDBusObjectPath> unlocked, locked;
    if (!session.search(settingsFile, &unlocked, &locked))
        return refused(why, session.error());
    for (const QDBusObjectPath& item : std::as_const(unlocked)) {
        const QDBusMessage reply = session.call(item.path(), kItemInterface, QStringLiteral("Delete"), {});
        if (session.failed(reply))
            return refused(why, session.error());
    }
    return unlocked.isEmpty() && locked.isEmpty() ? Outcome::NotFound : Outcome::Done;
}

} // namespace gw
