#pragma once
// The settings: one row each in SettingsTable.def, giving the control that holds it (kind,
// window default, range) and where the settings file keeps it (section, key, file default).
// The main window's form, MemorySettings and the settings file all work from this table;
// code names a setting through its typed key in SettingNames.h.
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

// Sections of the settings file that hold plain keys, one per setting.
enum class FileSection { None, Config, Debug, ParameterSelection, NewParameter, Window };

enum class FileKind {
    None,
    Text,
    Integer,
    Bool,
    CheckWhenTrue, // a radio button: true checks it, false leaves its group alone
    Colour,
    Password, // scrambled, see SettingsFile::storedPassword
};

// Defaults that depend on the machine rather than on the file.
enum class MachineDefault { None, CloudDestination, HalfScreenWidth, HalfScreenHeight };

struct SettingRow
{
    QString name; // the control's objectName
    ControlKind kind;
    QVariant windowDefault; // bool, int, QString or QStringList
    int minValue = 0; // spin edits; MinValue == MaxValue means unbounded
    int maxValue = 0;
    QString radioGroup; // radio buttons of one group share this
    FileSection section = FileSection::None;
    QString key; // in `section`
    FileKind fileKind = FileKind::None;
    QVariant fileDefault;
    MachineDefault machineDefault = MachineDefault::None;
};

const QVector<SettingRow>& settingsTable();
const SettingRow* findSetting(const QString& name);
// The rows stored in one section, in writing order.
const QVector<const SettingRow*>& settingsIn(FileSection section);
QStringList radioGroupMembers(const QString& group);

// Vocabulary offered by the combo boxes.
const QStringList& bodyList(); // 37 entries, "default" first
const QStringList& projectionList(); // 11 entries, "random" and "multiple bodies" last

// Spin-edit reading rule: a text that is not a whole number reads as MinValue.
int spinValueFromText(const QString& text, int minValue);
// Spin-edit setting rule: the nearest bound unless MinValue equals MaxValue.
int spinClamp(int value, int minValue, int maxValue);

inline constexpr int GridRows = 50; // row 0 holds the headers
inline constexpr int GridColumns = 2;

} // namespace gw
