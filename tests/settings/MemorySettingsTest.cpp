#include "settings/MemorySettings.h"
#include "settings/SettingsTable.h"

#include "support/Printers.h"
#include <gtest/gtest.h>

using namespace gw;

TEST(MemorySettings, SpinEditsFollowBoundsAndReadNonNumbersAsMinValue)
{
    MemorySettings s;
    EXPECT_EQ(s.integer(QStringLiteral("seCheckForNewFiles")), 1000) << "window default";
    s.setInteger(QStringLiteral("seCheckForNewFiles"), 3);
    EXPECT_EQ(s.integer(QStringLiteral("seCheckForNewFiles")), 5) << "brought to MinValue";
    s.setInteger(QStringLiteral("seCheckForNewFiles"), 2000);
    EXPECT_EQ(s.integer(QStringLiteral("seCheckForNewFiles")), 1000) << "brought to MaxValue";
    s.setInteger(QStringLiteral("SpinEdit"), -30);
    EXPECT_EQ(s.integer(QStringLiteral("SpinEdit")), -30) << "unbounded";
    s.setText(QStringLiteral("seCheckForNewFiles"), QStringLiteral("-"));
    EXPECT_EQ(s.integer(QStringLiteral("seCheckForNewFiles")), 5) << "a lone minus reads as MinValue";
    s.setText(QStringLiteral("seRadius2"), QString());
    EXPECT_EQ(s.integer(QStringLiteral("seRadius2")), 0) << "empty text reads as MinValue";
}

TEST(MemorySettings, RadioGroupsUncheckTheOthers)
{
    MemorySettings s;
    EXPECT_TRUE(s.checked(QStringLiteral("rbNormal")));
    s.setChecked(QStringLiteral("rbIdle"), true);
    EXPECT_FALSE(s.checked(QStringLiteral("rbNormal")));
    s.setChecked(QStringLiteral("rbIdle"), false);
    EXPECT_FALSE(s.checked(QStringLiteral("rbIdle")) || s.checked(QStringLiteral("rbNormal"))
        || s.checked(QStringLiteral("rbHigh")))
        << "false only unchecks";
    EXPECT_TRUE(s.checked(QStringLiteral("rbLatLon"))) << "other groups untouched";
}

TEST(ControlCatalogue, VocabularyLists)
{
    EXPECT_EQ(bodyList().size(), 37);
    EXPECT_EQ(bodyList().first(), QStringLiteral("default"));
    EXPECT_EQ(projectionList().size(), 11);
    EXPECT_EQ(projectionList().at(7), QStringLiteral("orthographic"));
}
