// The time-server list edited in place, on real widgets (offscreen), driven by real mouse and
// key events where the window would get them.
#include "timesync/ui/TimeServerEditor.h"
#include "shared/Error.h"
#include "support/Printers.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace gw;

namespace {

class TimeServerEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&window);
        pages = new QTabWidget;
        auto* page = new QWidget;
        auto* pageLayout = new QVBoxLayout(page);
        list = new QListWidget;
        edit = new QLineEdit;
        add = new QPushButton(QStringLiteral("Add"));
        cancel = new QPushButton(QStringLiteral("Cancel"));
        label = new QLabel(QStringLiteral("List of Timeserver"));
        for (QWidget* w : std::initializer_list<QWidget*> { list, edit, add, cancel, label })
            pageLayout->addWidget(w);
        pages->addTab(page, QStringLiteral("Time Sync"));
        layout->addWidget(pages);
        fill({ { "a", true }, { "b", false }, { "c", true } });
        window.resize(320, 480);
        window.show();
        QApplication::processEvents();

        editor = std::make_unique<TimeServerEditor>(
            TimeServerWidgets { list, edit, add, cancel, label, pages }, [this](const QString& url) { opened << url; });
    }

    void fill(std::initializer_list<std::pair<const char*, bool>> entries)
    {
        list->clear();
        for (const auto& [text, checked] : entries) {
            auto* item = new QListWidgetItem(QString::fromLatin1(text), list);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
        }
    }

    QStringList texts() const
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }

    QList<bool> checks() const
    {
        QList<bool> out;
        for (int i = 0; i < list->count(); ++i)
            out << (list->item(i)->checkState() == Qt::Checked);
        return out;
    }

    QPoint over(int row) const { return list->visualItemRect(list->item(row)).center(); }
    QPoint belowLast() const { return QPoint(10, list->visualItemRect(list->item(list->count() - 1)).bottom() + 20); }

    void releaseOver(const QPoint& p, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseRelease(list->viewport(), button, {}, p);
    }
    void type(const QString& text) { QTest::keyClicks(edit, text); }
    void key(Qt::Key k) { QTest::keyClick(edit, k); }

    void editRow(int row)
    {
        releaseOver(over(row));
        editor->Edit1Click();
    }

    QWidget window;
    QTabWidget* pages = nullptr;
    QListWidget* list = nullptr;
    QLineEdit* edit = nullptr;
    QPushButton* add = nullptr;
    QPushButton* cancel = nullptr;
    QLabel* label = nullptr;
    QStringList opened;
    std::unique_ptr<TimeServerEditor> editor;
};

} // namespace

TEST_F(TimeServerEditorTest, EditFollowsTheTypingAndEnterKeepsIt)
{
    editRow(1);
    EXPECT_EQ(editor->TimeServerEditIndex(), 1);
    EXPECT_EQ(editor->TimeServerEditText(), QStringLiteral("b"));
    EXPECT_EQ(edit->text(), QStringLiteral("b"));
    EXPECT_EQ(window.focusWidget(), edit) << "the keyboard goes to the edit field";

    type(QStringLiteral("x"));
    EXPECT_EQ(texts(), (QStringList { "a", "bx", "c" })) << "the list follows the typing";
    key(Qt::Key_Return);
    EXPECT_EQ(texts(), (QStringList { "a", "bx", "c" }));
    EXPECT_EQ(checks(), (QList<bool> { true, false, true })) << "check marks kept";
    EXPECT_EQ(editor->TimeServerEditIndex(), -1) << "back in add mode";
    EXPECT_TRUE(edit->text().isEmpty());
}

TEST_F(TimeServerEditorTest, EscapeAfterTypingRestoresTheOldText)
{
    editRow(0);
    edit->clear();
    type(QStringLiteral("zz"));
    EXPECT_EQ(texts().at(0), QStringLiteral("zz")) << "shows the typed text while typing";
    key(Qt::Key_Escape);
    EXPECT_EQ(texts(), (QStringList { "a", "b", "c" })) << "old text after Escape";
    EXPECT_EQ(checks(), (QList<bool> { true, false, true }));
    EXPECT_EQ(editor->TimeServerEditIndex(), -1);
    EXPECT_TRUE(edit->text().isEmpty());
}

TEST_F(TimeServerEditorTest, EnterInAddAndEditMode)
{
    key(Qt::Key_Return);
    EXPECT_EQ(texts(), (QStringList { "a", "b", "c" })) << "empty field in add mode adds nothing";

    type(QStringLiteral("time.example"));
    key(Qt::Key_Return);
    EXPECT_EQ(texts(), (QStringList { "a", "b", "c", "time.example" })) << "a typed name is appended";
    EXPECT_EQ(checks().last(), true) << "and checked";
    EXPECT_TRUE(edit->text().isEmpty());

    editRow(1);
    edit->selectAll();
    key(Qt::Key_Backspace);
    key(Qt::Key_Return);
    EXPECT_EQ(texts(), (QStringList { "a", "c", "time.example" })) << "empty field in edit mode deletes the entry";
    EXPECT_EQ(checks(), (QList<bool> { true, true, true }));
    EXPECT_EQ(editor->TimeServerEditIndex(), -1);
}

TEST_F(TimeServerEditorTest, ButtonsAndHeldKeys)
{
    edit->setText(QStringLiteral("n1"));
    add->click();
    EXPECT_EQ(texts().last(), QStringLiteral("n1")) << "button Add";

    editRow(0);
    edit->setText(QStringLiteral("changed"));
    cancel->click();
    EXPECT_EQ(texts().first(), QStringLiteral("a")) << "button Cancel";

    edit->setText(QStringLiteral("n2"));
    QKeyEvent repeated(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(edit, &repeated);
    EXPECT_EQ(list->count(), 4) << "a repeated Enter of a held key adds nothing";
}

TEST_F(TimeServerEditorTest, CopyAndDeleteActOnTheEntryUnderThePoint)
{
    releaseOver(over(2));
    editor->Copy2Click();
    EXPECT_EQ(texts(), (QStringList { "a", "b", "c", "c" }));
    EXPECT_EQ(checks(), (QList<bool> { true, false, true, false })) << "a copy is not checked";

    releaseOver(over(0), Qt::RightButton);
    editor->Delete1Click();
    EXPECT_EQ(texts(), (QStringList { "b", "c", "c" })) << "any button's release moves the point";
    EXPECT_EQ(checks(), (QList<bool> { false, true, false })) << "others keep their check marks";
    EXPECT_EQ(edit->text(), QStringLiteral("a")) << "the deleted text lands in the edit field";
    EXPECT_EQ(editor->TimeServerEditIndex(), -1);
}

TEST_F(TimeServerEditorTest, NoEntryUnderThePointDoesNothing)
{
    struct Case
    {
        const char* label;
        std::function<QPoint()> point;
    };
    const Case cases[] = {
        { "below the last entry", [this] { return belowLast(); } },
        { "left of the list", [] { return QPoint(-5, 5); } },
        { "right of the list", [this] { return QPoint(list->viewport()->width() + 5, over(0).y()); } },
        { "above the list", [this] { return QPoint(over(0).x(), -3); } },
    };
    edit->setText(QStringLiteral("typed"));
    for (const Case& c : cases) {
        releaseOver(c.point());
        editor->Edit1Click();
        editor->Copy2Click();
        editor->Delete1Click();
        EXPECT_EQ(texts(), (QStringList { "a", "b", "c" })) << c.label;
        EXPECT_EQ(editor->TimeServerEditIndex(), -1) << c.label;
        EXPECT_EQ(edit->text(), QStringLiteral("typed")) << c.label;
    }
}

TEST_F(TimeServerEditorTest, ContextMenuHasEditCopyDeleteAndActsWhereItOpened)
{
    QMenu* menu = editor->contextMenu();
    QStringList captions;
    for (QAction* a : menu->actions())
        captions << a->text();
    EXPECT_EQ(captions, (QStringList { "Edit", "Copy", "Delete" }));

    releaseOver(over(0));
    emit list->customContextMenuRequested(over(1)); // X11 opens the menu on the press
    menu->actions().at(2)->trigger();
    menu->close();
    EXPECT_EQ(texts(), (QStringList { "a", "c" })) << "the entry the menu was opened over";
}

TEST_F(TimeServerEditorTest, DoubleClickStartsEditing)
{
    // What a real double click delivers: press, release, double click, release.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, over(2));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, over(2));
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, over(2));
    QApplication::processEvents();
    EXPECT_EQ(editor->TimeServerEditIndex(), 2);
    EXPECT_EQ(edit->text(), QStringLiteral("c"));
    EXPECT_EQ(window.focusWidget(), edit);
}

TEST_F(TimeServerEditorTest, DeletingWhileEditingNeverOverwritesAnotherEntry)
{
    editRow(2);
    releaseOver(over(0));
    editor->Delete1Click(); // "a" goes; the edited "c" moves up to row 1
    EXPECT_EQ(editor->TimeServerEditIndex(), 1) << "follows the edited entry";
    edit->setText(QStringLiteral("c2"));
    key(Qt::Key_Return);
    EXPECT_EQ(texts(), (QStringList { "b", "c2" })) << "the edited entry changed, its neighbour did not";

    editRow(1);
    releaseOver(over(1));
    editor->Delete1Click(); // the edited entry itself
    EXPECT_EQ(editor->TimeServerEditIndex(), -1) << "nothing left to edit";
    EXPECT_EQ(edit->text(), QStringLiteral("c2"));
    type(QStringLiteral("x"));
    EXPECT_EQ(texts(), QStringList { "b" }) << "typing touches no other entry";
    key(Qt::Key_Return);
    EXPECT_EQ(texts(), (QStringList { "b", "c2x" })) << "Enter adds the text back as a new entry";
}

TEST_F(TimeServerEditorTest, AnEditIndexPastTheEndIsNeverUsed)
{
    editRow(2);
    fill({ { "only", false } }); // the list was reloaded while editing
    type(QStringLiteral("y"));
    EXPECT_EQ(texts(), QStringList { "only" }) << "live update skipped";
    key(Qt::Key_Escape);
    EXPECT_EQ(texts(), QStringList { "only" }) << "cancel restores nothing elsewhere";
    EXPECT_EQ(editor->TimeServerEditIndex(), -1);

    editRow(0);
    fill({});
    edit->setText(QStringLiteral("kept"));
    editor->btnAddTimeServerClick();
    EXPECT_EQ(texts(), QStringList { "kept" }) << "the typed text becomes a new entry";
    EXPECT_EQ(editor->TimeServerEditIndex(), -1);
}

TEST_F(TimeServerEditorTest, ReleasesOnThePageControlMoveThePointAndTheLabelOpensTheList)
{
    QTest::mouseRelease(pages, Qt::LeftButton, {}, QPoint(7, 9));
    EXPECT_EQ(editor->LastMouseUpPoint(), QPoint(7, 9));

    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_EQ(opened, QStringList { TimeServerEditor::timeServerListUrl() });
}

namespace {
// Stands in for the window's link label, which announces its clicks itself.
class ClickLabel : public QLabel
{
    Q_OBJECT
signals:
    void clicked();
};
} // namespace

TEST(TimeServerEditorWithWindowParts, UsesTheWindowsMenuAndTheLabelsOwnClicks)
{
    QListWidget list;
    QLineEdit edit;
    ClickLabel label;
    QMenu menu;
    for (const char* caption : { "Edit", "Copy", "Delete" })
        menu.addAction(QString::fromLatin1(caption));
    new QListWidgetItem(QStringLiteral("x"), &list);
    list.resize(200, 200);
    list.show();
    QStringList opened;
    TimeServerEditor editor(TimeServerWidgets { &list, &edit, nullptr, nullptr, &label, nullptr, &menu },
        [&](const QString& url) { opened << url; });

    EXPECT_EQ(editor.contextMenu(), &menu);
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(0)).center());
    menu.actions().at(1)->trigger();
    EXPECT_EQ(list.count(), 2) << "Copy through the window's menu";

    QTest::mouseClick(&label, Qt::LeftButton);
    EXPECT_TRUE(opened.isEmpty()) << "a release alone does not open the page twice";
    emit label.clicked();
    EXPECT_EQ(opened.size(), 1);

    QMenu tooShort;
    tooShort.addAction(QStringLiteral("Edit"));
    EXPECT_THROW(TimeServerEditor(TimeServerWidgets { &list, &edit, nullptr, nullptr, nullptr, nullptr, &tooShort },
                     [](const QString&) {}),
        Error);
}

#include "TimeServerEditorTest.moc"
