#include "renderer/ParameterList.h"
#include "renderer/RendererLayout.h"
#include "settings/MemorySettings.h"

#include "support/TempDir.h"

#include <QDir>
#include <QSet>
#include <gtest/gtest.h>

using namespace gw;

namespace {

const QString kAppFile = QStringLiteral("/usr/bin/xplanet");

// The settings of the documented example: seven entries with no flag ticked.
void example(MemorySettings& s)
{
    s.setText(QStringLiteral("ddbConfig"), QStringLiteral("default"));
    s.setText(QStringLiteral("ddbViewBody"), QStringLiteral("earth"));
    s.setInteger(QStringLiteral("seRadius2"), 45);
    s.setChecked(QStringLiteral("rbLatLon"), true);
    s.setInteger(QStringLiteral("seLat"), 10);
    s.setInteger(QStringLiteral("seLon"), 20);
    s.setText(QStringLiteral("cbProjektion"), QStringLiteral("orthographic"));
    s.setInteger(QStringLiteral("seRotate"), 0);
}

const QStringList kExample = {
    QStringLiteral("-config default"),
    QStringLiteral("-num_times 1"),
    QStringLiteral("-body earth"),
    QStringLiteral("-radius 45"),
    QStringLiteral("-lat 10 -lon 20"),
    QStringLiteral("-projection orthographic"),
    QStringLiteral("-rotate 0"),
};

// The example with `entry` put in place of the entry at `index` (or inserted before it).
QStringList replaced(int index, const QString& entry)
{
    QStringList l = kExample;
    l[index] = entry;
    return l;
}
QStringList inserted(int index, const QStringList& entries)
{
    QStringList l = kExample;
    for (int i = 0; i < entries.size(); ++i)
        l.insert(index + i, entries.at(i));
    return l;
}
QStringList removed(int index)
{
    QStringList l = kExample;
    l.removeAt(index);
    return l;
}

class ParameterList : public ::testing::Test
{
protected:
    ParameterList()
        : m_layout(kAppFile, m_home.path())
    {
        QDir().mkpath(m_layout.imagesFolder());
        gwtest::writeFile(m_layout.imagesFolder() + QStringLiteral("stars.jpg"), "jpeg");
        example(m_settings);
    }

    QStringList build() { return GenParameterListFromNewEasy(m_settings, m_layout); }

    gwtest::TempDir m_home;
    RendererLayout m_layout;
    MemorySettings m_settings;
};

} // namespace

TEST_F(ParameterList, DocumentedExampleGivesSevenEntries)
{
    EXPECT_EQ(build(), kExample);
}

TEST_F(ParameterList, EdgeCases)
{
    const QString folder = m_home.path() + QStringLiteral("/.xplanet");
    // Changes to the example: a bool ticks or selects, an int sets a spin box, a text an edit.
    using Changes = QVector<QPair<const char*, QVariant>>;
    const QVariant on = true;
    struct Case
    {
        const char* label;
        Changes changes;
        QStringList expected;
    };
    const QVector<Case> cases = {
        { "empty config: no -config, -num_times first", { { "ddbConfig", QString() } }, removed(0) },
        { "background ticked, file missing: left out silently",
            { { "cbBackImage", on }, { "edtBackImage", QStringLiteral("nebula.jpg") } }, kExample },
        { "background ticked, file present: the bare name as entered",
            { { "cbBackImage", on }, { "edtBackImage", QStringLiteral("stars.jpg") } },
            inserted(4, { QStringLiteral("-background stars.jpg") }) },
        { "background present but not ticked", { { "edtBackImage", QStringLiteral("stars.jpg") } }, kExample },
        { "background ticked with an empty name: the images folder is not a picture", { { "cbBackImage", on } },
            kExample },
        { "origin viewpoint", { { "rbOrigin", on } }, replaced(4, QStringLiteral("-origin sun")) },
        { "origin viewpoint, opposite",
            { { "rbOrigin", on }, { "cbOriginOpposite", on }, { "cbOrigin", QStringLiteral("moon") } },
            replaced(4, QStringLiteral("-origin -moon")) },
        { "opposite ticked without the origin viewpoint adds nothing", { { "cbOriginOpposite", on } }, kExample },
        { "random viewpoint", { { "rbRandomViewpoint", on } }, replaced(4, QStringLiteral("-random")) },
        { "no viewpoint selected: no -lat, -origin or -random", { { "rbLatLon", false } }, removed(4) },
        { "negative latitude", { { "seLat", -30 } }, replaced(4, QStringLiteral("-lat -30 -lon 20")) },
        { "label, temporary folder and saved file, in that order",
            { { "cbViewLabel", on }, { "cbUseTempDir", on }, { "cbSaveDesktopFile", on } },
            inserted(5,
                { QStringLiteral("-label"), QStringLiteral("-tmpdir \"") + folder + QStringLiteral("\""),
                    QStringLiteral("-save_desktop_file") }) },
        { "multiple bodies: no -projection", { { "cbProjektion", QStringLiteral("multiple bodies") } }, removed(5) },
        { "typed projection passed on unchanged", { { "cbProjektion", QStringLiteral("tsc") } },
            replaced(5, QStringLiteral("-projection tsc")) },
        { "projection words compare with case: MULTIPLE BODIES is typed text",
            { { "cbProjektion", QStringLiteral("MULTIPLE BODIES") } },
            replaced(5, QStringLiteral("-projection MULTIPLE BODIES")) },
        { "centre (0, 0)", { { "cbCenter", on } }, inserted(7, { QStringLiteral("-center +0+0") }) },
        { "centre (-5, 7)", { { "cbCenter", on }, { "seCenterX", -5 }, { "seCenterY", 7 } },
            inserted(7, { QStringLiteral("-center -5+7") }) },
        { "centre (100, -20)", { { "cbCenter", on }, { "seCenterX", 100 }, { "seCenterY", -20 } },
            inserted(7, { QStringLiteral("-center +100-20") }) },
        { "centre values set but not ticked", { { "seCenterX", 100 } }, kExample },
        { "non-numeric radius reads as 0", { { "seRadius2", QStringLiteral("4x5") } },
            replaced(3, QStringLiteral("-radius 0")) },
        { "empty radius reads as 0", { { "seRadius2", QString() } }, replaced(3, QStringLiteral("-radius 0")) },
        { "empty view body still gives -body", { { "ddbViewBody", QString() } },
            replaced(2, QStringLiteral("-body ")) },
        { "rotation at its upper bound", { { "seRotate", 360 } }, replaced(6, QStringLiteral("-rotate 360")) },
    };
    for (const Case& c : cases) {
        MemorySettings s;
        example(s);
        for (const auto& [name, value] : c.changes) {
            const QString control = QString::fromLatin1(name);
            if (value.typeId() == QMetaType::Bool)
                s.setChecked(control, value.toBool());
            else if (value.typeId() == QMetaType::Int)
                s.setInteger(control, value.toInt());
            else
                s.setText(control, value.toString());
        }
        EXPECT_EQ(GenParameterListFromNewEasy(s, m_layout), c.expected) << c.label;
    }
}

TEST_F(ParameterList, TemporaryFolderIsQuotedWithoutItsFinalSlash)
{
    gwtest::TempDir base;
    const QString home = base.path() + QStringLiteral("/my home");
    const RendererLayout layout(kAppFile, home);
    m_settings.setChecked(QStringLiteral("cbUseTempDir"), true);
    const QStringList list = GenParameterListFromNewEasy(m_settings, layout);
    EXPECT_TRUE(list.contains(QStringLiteral("-tmpdir \"") + home + QStringLiteral("/.xplanet\"")))
        << list.join('|').toStdString();
}

TEST_F(ParameterList, CentreKeepsTheDigitsOfTheExtremes)
{
    EXPECT_EQ(centerEntry(INT_MIN, INT_MAX), QStringLiteral("-center -2147483648+2147483647"));
}

TEST_F(ParameterList, RandomProjectionDrawsEveryRealProjectionAndNothingElse)
{
    m_settings.setText(QStringLiteral("cbProjektion"), QStringLiteral("random"));
    const QSet<QString> real = {
        QStringLiteral("-projection ancient"),
        QStringLiteral("-projection azimuthal"),
        QStringLiteral("-projection hemisphere"),
        QStringLiteral("-projection lambert"),
        QStringLiteral("-projection mercator"),
        QStringLiteral("-projection mollweide"),
        QStringLiteral("-projection peters"),
        QStringLiteral("-projection orthographic"),
        QStringLiteral("-projection rectangular"),
    };
    QRandomGenerator seeded(20230321);
    QSet<QString> seen;
    for (int i = 0; i < 2000 && seen.size() < real.size(); ++i) {
        const QStringList list = GenParameterListFromNewEasy(m_settings, m_layout, seeded);
        ASSERT_EQ(list.size(), kExample.size()) << "one projection entry, draw " << i;
        ASSERT_TRUE(real.contains(list.at(5))) << list.at(5).toStdString();
        seen.insert(list.at(5));
    }
    EXPECT_EQ(seen, real) << "every one of the nine can come out";

    // The system-seeded generator draws from the same nine.
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(real.contains(build().at(5)));
}
