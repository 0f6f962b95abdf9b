#pragma once
// A private bus in the place of the system bus, for the tests of what the program asks the
// system's services (the login manager, NetworkManager, the time service): python3-dbusmock's
// stand-ins serve on it and are driven through their Mock interface.
#include "BusService.h"
#include "PrivateBus.h"

#include <QDBusMessage>
#include <gtest/gtest.h>

namespace gwtest {

class SystemBusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(system.started()) << "dbus-daemon did not start";
        systemClient = system.connect(QStringLiteral("gwtest-system"));
    }
    // python3-dbusmock's `templateName` serving `name` on the system bus; why it did not is
    // reported as a failure.
    bool startMock(BusService& service, const QString& templateName, const QString& name)
    {
        if (service.startMock(templateName, system.address(), true, systemClient, name))
            return true;
        ADD_FAILURE() << service.error().toStdString();
        return false;
    }
    // A method of a stand-in's Mock interface (AddMethod, AddSession, UpdateProperties, ...).
    QDBusMessage mock(const QString& service, const QString& path, const QString& method, const QVariantList& arguments)
    {
        return busCall(systemClient, service, path, QStringLiteral("org.freedesktop.DBus.Mock"), method, arguments);
    }

    PrivateBus system;
    QDBusConnection systemClient { QString() };
};

} // namespace gwtest
