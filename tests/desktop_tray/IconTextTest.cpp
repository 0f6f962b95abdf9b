// The desktop icon text colour: the colour dialog, the setting and the preview.
#include "desktop/IconText.h"
#include "settings/MemorySettings.h"
#include "shared/ColorValue.h"
#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

TEST(IconText, PlatformColourValueHasRedInTheLowByte)
{
    struct Case
    {
        const char* label;
        int value;
        QColor colour;
    };
    for (const Case& c : { Case { "white", 16777215, QColor(255, 255, 255) }, Case { "black", 0, QColor(0, 0, 0) },
             Case { "red", 0x0000FF, QColor(255, 0, 0) }, Case { "blue", 0xFF0000, QColor(0, 0, 255) },
             Case { "orange", 0x0080FF, QColor(255, 128, 0) } }) {
        EXPECT_EQ(gw::colorToQColor(c.value), c.colour) << c.label;
        EXPECT_EQ(gw::qColorToColor(c.colour), c.value) << c.label;
    }
}

TEST(IconText, ChosenColourBecomesTheSettingAndThePreview)
{
    gw::MemorySettings settings;
    settings.setInteger(QStringLiteral("ColorDialog"), 16777215);
    gw::ScriptedDialogs dialogs;
    std::vector<QColor> previews;
    gw::IconText iconText(settings, dialogs, [&](const QColor& c) { previews.push_back(c); });

    iconText.updatePreview();
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_EQ(previews.back(), QColor(Qt::white)) << "the loaded colour";

    dialogs.queueColor(QColor(255, 128, 0));
    iconText.btnIconTextColorClick();
    EXPECT_EQ(settings.integer(QStringLiteral("ColorDialog")), 0x0080FF);
    ASSERT_EQ(previews.size(), 2u);
    EXPECT_EQ(previews.back(), QColor(255, 128, 0));

    dialogs.queueColor(std::nullopt);
    iconText.btnIconTextColorClick();
    EXPECT_EQ(settings.integer(QStringLiteral("ColorDialog")), 0x0080FF) << "cancel keeps the colour";
    EXPECT_EQ(previews.size(), 2u) << "cancel leaves the preview";

    // No desktop icon list to reach here: the operation changes nothing and asks nothing.
    iconText.btnMakeBGTransparentClick();
    EXPECT_EQ(settings.integer(QStringLiteral("ColorDialog")), 0x0080FF);
    EXPECT_EQ(dialogs.asked.size(), 2u);
    EXPECT_TRUE(dialogs.allAnswersUsed());
}
