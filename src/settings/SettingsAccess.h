#pragma once
// Every setting is a control of the main window, read at the moment of use. Logic reads and
// writes settings through this interface by control name; the window implements it on its
// controls, tests on MemorySettings. Hidden settings (no control) go through it too.
#include <QString>
#include <QStringList>
#include <QVector>

namespace gw {

struct CheckItem
{
    QString text;
    bool checked = false;
    bool operator==(const CheckItem&) const = default;
};

class SettingsAccess
{
public:
    virtual ~SettingsAccess() = default;

    // Check box, radio button, menu item with check mark, hidden boolean.
    virtual bool checked(const QString& name) const = 0;
    // Checking a radio button unchecks the others of its group; false only unchecks it.
    virtual void setChecked(const QString& name, bool value) = 0;

    // Edit field, combo box text, hidden text.
    virtual QString text(const QString& name) const = 0;
    virtual void setText(const QString& name, const QString& value) = 0;

    // Spin edit: the displayed text as a whole number, `MinValue` when it is none.
    // Colours and hidden integers too.
    virtual int integer(const QString& name) const = 0;
    // A spin edit brings the value to its nearest bound unless MinValue equals MaxValue.
    virtual void setInteger(const QString& name, int value) = 0;

    // Memo lines, list box entries, combo box items.
    virtual QStringList lines(const QString& name) const = 0;
    virtual void setLines(const QString& name, const QStringList& value) = 0;

    // Check list box.
    virtual QVector<CheckItem> checkItems(const QString& name) const = 0;
    virtual void setCheckItems(const QString& name, const QVector<CheckItem>& value) = 0;

    // String grid, addressed (column, row) from 0.
    virtual QString cell(const QString& name, int column, int row) const = 0;
    virtual void setCell(const QString& name, int column, int row, const QString& value) = 0;
    virtual int rowCount(const QString& name) const = 0;
};

} // namespace gw
