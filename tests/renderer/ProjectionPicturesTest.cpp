#include "renderer/ui/ProjectionPictures.h"
#include "settings/SettingsTable.h"

#include <QImage>
#include <QSet>
#include <gtest/gtest.h>

using namespace gw;

TEST(ProjectionPictures, OnePicturePerProjectionEachFilledAndDifferent)
{
    initProjectionPictures();
    ASSERT_EQ(projectionPictureCount(), 11);
    QSet<QByteArray> contents;
    for (int i = 0; i < projectionPictureCount(); ++i) {
        const std::string label = projectionList().at(i).toStdString();
        const QImage image = projectionPicture(i).toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(image.isNull()) << label;
        EXPECT_EQ(image.size(), QSize(240, 180)) << label;
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                colours.insert(image.pixel(x, y));
        EXPECT_GT(colours.size(), 32) << label << ": more than a blank or a few colours";
        contents.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
    }
    EXPECT_EQ(contents.size(), 11) << "no picture is used for two entries";
    EXPECT_TRUE(projectionPicture(-1).isNull());
    EXPECT_TRUE(projectionPicture(11).isNull());
}

TEST(ProjectionPictures, EntryShownAfterAChange)
{
    struct Case
    {
        const char* label;
        QString text;
        int selected;
        int expected;
    };
    const QVector<Case> cases = {
        { "an entry picked from the list", QStringLiteral("mercator"), 4, 4 },
        { "the last entry", QStringLiteral("multiple bodies"), 10, 10 },
        { "typed in another letter case", QStringLiteral("Mercator"), -1, 4 },
        { "typed with a blank inside", QStringLiteral("MULTIPLE BODIES"), -1, 10 },
        { "typed over a selected entry", QStringLiteral("peters"), 7, 6 },
        { "typed text of no entry", QStringLiteral("tsc"), -1, -1 },
        { "typed text of no entry over a selection", QStringLiteral("orthographi"), 7, -1 },
        { "empty text", QString(), -1, -1 },
        { "text with blanks around is not an entry", QStringLiteral(" lambert"), -1, -1 },
        { "selection outside the list", QStringLiteral("lambert"), 42, 3 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(projectionEntryFor(c.text, c.selected), c.expected) << c.label;
}
