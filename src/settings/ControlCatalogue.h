#pragma once
// The controls that hold the settings: kind, window default (the state at creation) and range.
// The main window's form and MemorySettings are both checked against this one table.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace gw {

enum class ControlKind {
    CheckBox,
    RadioButton,
    Edit,
    SpinEdit,
    ComboBox,
    Memo,
    ListBox,
    CheckListBox,
    StringGrid,
    MenuCheck,
    Colour,
    HiddenText,
    HiddenInteger,
    HiddenBool,
};

struct ControlSpec
{
    QString name;
    ControlKind kind;
    QVariant windowDefault; // bool, int, QString or QStringList
    int minValue = 0;       // spin edits; MinValue == MaxValue means unbounded
    int maxValue = 0;
    QString radioGroup = {}; // radio buttons of one group share this
};

const QVector<ControlSpec>& controlCatalogue();
const ControlSpec* findControl(const QString& name);
QStringList radioGroupMembers(const QString& group);

// Vocabulary offered by the combo boxes.
const QStringList& bodyList();        // 37 entries, "default" first
const QStringList& projectionList();  // 11 entries, "random" and "multiple bodies" last

// Spin-edit reading rule: a text that is not a whole number reads as MinValue.
int spinValueFromText(const QString& text, int minValue);
// Spin-edit setting rule: the nearest bound unless MinValue equals MaxValue.
int spinClamp(int value, int minValue, int maxValue);

inline constexpr int GridRows = 50;    // row 0 holds the headers
inline constexpr int GridColumns = 2;

} // namespace gw
