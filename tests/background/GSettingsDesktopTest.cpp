// GNOME, Cinnamon and MATE take one picture through their GSettings keys, stored by the real
// dconf service on the private bus. Two monitors side by side: one picture of both, spanned.
#include "DesktopRig.h"

#include <QUrl>

namespace backgroundtest {
namespace {

    class GSettingsDesktop : public DesktopRig
    {
    protected:
        static QString get(const QString& schema, const QString& key)
        {
            QString value = output(QStringLiteral("gsettings"), { QStringLiteral("get"), schema, key });
            if (value.size() >= 2 && value.startsWith(QLatin1Char('\'')))
                value = value.mid(1, value.size() - 2);
            return value;
        }
    };

    TEST_F(GSettingsDesktop, EachDesktopsKeysNameTheNewPictureAndThePreviousOneGoes)
    {
        struct Row
        {
            const char* choice;
            const char* schema;
            QStringList keys; // each names the picture
            bool uri; // as a file URI, else as a plain path
        };
        const Row rows[] = {
            { "GNOME", "org.gnome.desktop.background", { "picture-uri", "picture-uri-dark" }, true },
            { "Cinnamon", "org.cinnamon.desktop.background", { "picture-uri" }, true },
            { "MATE", "org.mate.background", { "picture-filename" }, false },
        };
        const gw::MonitorList monitors = { { QStringLiteral("left"), QRect(0, 0, 320, 200) },
            { QStringLiteral("right"), QRect(320, 0, 200, 150) } };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.choice);
            const QString schema = QString::fromLatin1(row.schema);
            if (!output(QStringLiteral("gsettings"), { QStringLiteral("list-schemas") })
                     .split(QLatin1Char('\n'))
                     .contains(schema)) {
                ADD_FAILURE() << "schema " << row.schema << " missing: install its package (scripts/setup)";
                continue;
            }
            QDir(pictureFolder()).removeRecursively();
            renderTo(QString::fromLatin1(row.choice), monitors);
            ASSERT_TRUE(backgroundLog().isEmpty()) << backgroundLog().join(QLatin1Char('\n')).toStdString();
            ASSERT_EQ(pictures().size(), 1);
            const QString first = pictures().first();
            EXPECT_EQ(QImage(first, "PNG").size(), QSize(520, 200)) << "one picture of the whole desktop";
            const QString named = row.uri ? QUrl::fromLocalFile(first).toString(QUrl::FullyEncoded) : first;
            for (const QString& key : row.keys)
                EXPECT_EQ(get(schema, key), named) << key.toStdString();
            EXPECT_EQ(get(schema, QStringLiteral("picture-options")), QStringLiteral("spanned"));

            renderTo(QString::fromLatin1(row.choice), monitors);
            ASSERT_EQ(pictures().size(), 1) << "the previous picture is gone after the switch";
            EXPECT_NE(pictures().first(), first);
            const QString second
                = row.uri ? QUrl::fromLocalFile(pictures().first()).toString(QUrl::FullyEncoded) : pictures().first();
            for (const QString& key : row.keys)
                EXPECT_EQ(get(schema, key), second) << key.toStdString();
        }
    }

} // namespace
} // namespace backgroundtest
