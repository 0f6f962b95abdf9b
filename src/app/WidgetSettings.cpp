#include "app/WidgetSettings.h"

#include "app/SpinEdit.h"
#include "settings/SettingNames.h"
#include "settings/SettingsTable.h"
#include "shared/ColorValue.h"
#include "shared/Error.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTableWidget>

namespace gw {

namespace {
    // Marks an entry added to show a stored text the drop-down does not offer.
    constexpr int StoredTextRole = Qt::UserRole + 1;

    // The icon text colour; the sample label lbIconText shows it.
    const QString IconColour = ctl::ColorDialog;

    // The trailing line break of a memo does not make a line of its own, so a list written
    // with setLines reads back unchanged, an empty last entry included.
    QStringList memoLines(const QString& text)
    {
        if (text.isEmpty())
            return {};
        QStringList l = text.split(QLatin1Char('\n'));
        if (l.last().isEmpty())
            l.removeLast();
        return l;
    }

    QString memoText(const QStringList& lines)
    {
        QString t = lines.join(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            t += QLatin1Char('\n');
        return t;
    }
} // namespace

WidgetSettings::WidgetSettings(QObject* form, QLabel* iconTextLabel)
    : m_iconText(iconTextLabel)
{
    const QList<QObject*> all = form->findChildren<QObject*>();
    for (QObject* o : all)
        if (!o->objectName().isEmpty() && !m_controls.contains(o->objectName()))
            m_controls.insert(o->objectName(), o);
    for (const SettingRow& row : settingsTable()) {
        switch (row.kind) {
        case ControlKind::HiddenText:
        case ControlKind::HiddenInteger:
        case ControlKind::HiddenBool:
            m_hidden.insert(row.name, row.windowDefault);
            break;
        case ControlKind::Colour:
            m_colours.insert(row.name, 0);
            setInteger(row.name, row.windowDefault.toInt());
            break;
        default:
            break;
        }
    }
}

QObject* WidgetSettings::control(const QString& name) const
{
    QObject* o = m_controls.value(name).data();
    if (!o)
        throw Error(QStringLiteral("The main window has no setting named \"%1\".").arg(name));
    return o;
}

void WidgetSettings::wrongKind(const QString& name, const char* what) const
{
    throw Error(QStringLiteral("The setting \"%1\" is not %2.").arg(name, QLatin1String(what)));
}

void WidgetSettings::setComboText(QComboBox* combo, const QString& text)
{
    int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    // A drop-down that cannot be typed into offers a stored text it does not know as an entry of
    // its own, so the text is saved back as it came. Such an entry goes with the next text set.
    if (!combo->isEditable()) {
        for (int i = combo->count() - 1; i >= 0; --i)
            if (i != index && combo->itemData(i, StoredTextRole).toBool())
                combo->removeItem(i);
        index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index < 0 && !text.isEmpty()) {
            combo->addItem(text, QVariant());
            index = combo->count() - 1;
            combo->setItemData(index, true, StoredTextRole);
        }
    }
    if (combo->currentIndex() != index)
        combo->setCurrentIndex(index);
    if (combo->currentText() != text)
        combo->setEditText(text);
}

bool WidgetSettings::checked(const QString& name) const
{
    if (isHidden(name))
        return m_hidden.value(name).toBool();
    QObject* o = control(name);
    if (auto* b = qobject_cast<QAbstractButton*>(o))
        return b->isChecked();
    if (auto* a = qobject_cast<QAction*>(o))
        return a->isChecked();
    wrongKind(name, "a check box, radio button or menu item");
}

void WidgetSettings::setChecked(const QString& name, bool value)
{
    if (isHidden(name)) {
        m_hidden[name] = value;
        return;
    }
    QObject* o = control(name);
    if (auto* a = qobject_cast<QAction*>(o)) {
        a->setChecked(value);
        return;
    }
    auto* b = qobject_cast<QAbstractButton*>(o);
    if (!b)
        wrongKind(name, "a check box, radio button or menu item");
    auto* radio = qobject_cast<QRadioButton*>(b);
    if (!radio) {
        b->setChecked(value);
        return;
    }
    const SettingRow* row = findSetting(name);
    if (value) {
        // The group is the catalogue's, whatever parent widgets the buttons have.
        if (row)
            for (const QString& other : radioGroupMembers(row->radioGroup))
                if (other != name)
                    setChecked(other, false);
        radio->setChecked(true);
    } else if (radio->isChecked()) {
        // An auto-exclusive button refuses to uncheck itself; false only unchecks this one.
        const bool exclusive = radio->autoExclusive();
        radio->setAutoExclusive(false);
        radio->setChecked(false);
        radio->setAutoExclusive(exclusive);
    }
}

QString WidgetSettings::text(const QString& name) const
{
    if (isHidden(name))
        return m_hidden.value(name).toString();
    QObject* o = control(name);
    if (auto* e = qobject_cast<QLineEdit*>(o))
        return e->text();
    if (auto* c = qobject_cast<QComboBox*>(o))
        return c->currentText();
    if (auto* s = qobject_cast<SpinEdit*>(o))
        return s->text();
    if (auto* m = qobject_cast<QPlainTextEdit*>(o))
        return m->toPlainText();
    wrongKind(name, "a text field");
}

void WidgetSettings::setText(const QString& name, const QString& value)
{
    if (isHidden(name)) {
        m_hidden[name] = value;
        return;
    }
    QObject* o = control(name);
    if (auto* e = qobject_cast<QLineEdit*>(o))
        e->setText(value);
    else if (auto* c = qobject_cast<QComboBox*>(o))
        setComboText(c, value);
    else if (auto* s = qobject_cast<SpinEdit*>(o))
        s->setRawText(value);
    else if (auto* m = qobject_cast<QPlainTextEdit*>(o))
        m->setPlainText(value);
    else
        wrongKind(name, "a text field");
}

int WidgetSettings::integer(const QString& name) const
{
    if (m_colours.contains(name))
        return m_colours.value(name);
    if (isHidden(name))
        return m_hidden.value(name).toInt();
    if (auto* s = qobject_cast<SpinEdit*>(control(name)))
        return s->currentValue();
    wrongKind(name, "a number");
}

void WidgetSettings::setInteger(const QString& name, int value)
{
    if (m_colours.contains(name)) {
        m_colours[name] = value;
        if (name == IconColour && m_iconText) {
            QPalette p = m_iconText->palette();
            p.setColor(QPalette::WindowText, colorToQColor(value));
            m_iconText->setPalette(p);
        }
        return;
    }
    if (isHidden(name)) {
        m_hidden[name] = value;
        return;
    }
    if (auto* s = qobject_cast<SpinEdit*>(control(name)))
        s->setCurrentValue(value);
    else
        wrongKind(name, "a number");
}

QStringList WidgetSettings::lines(const QString& name) const
{
    QObject* o = control(name);
    if (auto* m = qobject_cast<QPlainTextEdit*>(o))
        return memoLines(m->toPlainText());
    if (auto* l = qobject_cast<QListWidget*>(o)) {
        QStringList out;
        for (int i = 0; i < l->count(); ++i)
            out << l->item(i)->text();
        return out;
    }
    if (auto* c = qobject_cast<QComboBox*>(o)) {
        QStringList out;
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
        return out;
    }
    wrongKind(name, "a memo, list or combo box");
}

void WidgetSettings::setLines(const QString& name, const QStringList& value)
{
    QObject* o = control(name);
    if (auto* m = qobject_cast<QPlainTextEdit*>(o)) {
        m->setPlainText(memoText(value));
    } else if (auto* l = qobject_cast<QListWidget*>(o)) {
        l->clear();
        l->addItems(value);
    } else if (auto* c = qobject_cast<QComboBox*>(o)) {
        // The items change, the text stays: a combo box's text may be any text.
        const QString keep = c->currentText();
        c->clear();
        c->addItems(value);
        setComboText(c, keep);
    } else {
        wrongKind(name, "a memo, list or combo box");
    }
}

QVector<CheckItem> WidgetSettings::checkItems(const QString& name) const
{
    auto* l = qobject_cast<QListWidget*>(control(name));
    if (!l)
        wrongKind(name, "a check list");
    QVector<CheckItem> out;
    for (int i = 0; i < l->count(); ++i)
        out.push_back({ l->item(i)->text(), l->item(i)->checkState() == Qt::Checked });
    return out;
}

void WidgetSettings::setCheckItems(const QString& name, const QVector<CheckItem>& value)
{
    auto* l = qobject_cast<QListWidget*>(control(name));
    if (!l)
        wrongKind(name, "a check list");
    l->clear();
    for (const CheckItem& ci : value) {
        auto* item = new QListWidgetItem(ci.text, l);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(ci.checked ? Qt::Checked : Qt::Unchecked);
    }
}

// Row 0 of the grid is its header row, held by the table's header items; rows 1 to 49
// are the table's rows 0 to 48.
QString WidgetSettings::cell(const QString& name, int column, int row) const
{
    auto* t = qobject_cast<QTableWidget*>(control(name));
    if (!t)
        wrongKind(name, "a grid");
    if (column < 0 || column >= t->columnCount() || row < 0 || row > t->rowCount())
        return {};
    const QTableWidgetItem* item = row == 0 ? t->horizontalHeaderItem(column) : t->item(row - 1, column);
    return item ? item->text() : QString();
}

void WidgetSettings::setCell(const QString& name, int column, int row, const QString& value)
{
    auto* t = qobject_cast<QTableWidget*>(control(name));
    if (!t)
        wrongKind(name, "a grid");
    if (column < 0 || column >= t->columnCount() || row < 0 || row > t->rowCount())
        throw Error(QStringLiteral("The cell (%1, %2) lies outside the grid \"%3\".").arg(column).arg(row).arg(name));
    if (row == 0) {
        if (QTableWidgetItem* h = t->horizontalHeaderItem(column))
            h->setText(value);
        else
            t->setHorizontalHeaderItem(column, new QTableWidgetItem(value));
        return;
    }
    if (QTableWidgetItem* item = t->item(row - 1, column))
        item->setText(value);
    else
        t->setItem(row - 1, column, new QTableWidgetItem(value));
}

int WidgetSettings::rowCount(const QString& name) const
{
    auto* t = qobject_cast<QTableWidget*>(control(name));
    if (!t)
        wrongKind(name, "a grid");
    return t->rowCount() + 1;
}

} // namespace gw
