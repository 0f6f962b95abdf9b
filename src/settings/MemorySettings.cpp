#include "settings/MemorySettings.h"

#include "settings/SettingNames.h"
#include "settings/SettingsTable.h"

namespace gw {

namespace {
    QString cellKey(const QString& name, int column, int row)
    {
        return name + QLatin1Char('|') + QString::number(column) + QLatin1Char('|') + QString::number(row);
    }
} // namespace

MemorySettings::MemorySettings()
{
    for (const SettingRow& row : settingsTable()) {
        switch (row.kind) {
        case ControlKind::Memo:
        case ControlKind::ListBox:
            m_lines[row.name] = row.windowDefault.toStringList();
            break;
        case ControlKind::CheckListBox: {
            QVector<CheckItem> items;
            for (const QString& t : row.windowDefault.toStringList())
                items.push_back({ t, false });
            m_checkItems[row.name] = items;
            break;
        }
        case ControlKind::StringGrid:
            break;
        case ControlKind::SpinEdit:
            m_values[row.name] = QString::number(row.windowDefault.toInt());
            break;
        default:
            m_values[row.name] = row.windowDefault;
        }
    }
    m_lines[ctl::ddbBodyTarget] = bodyList();
    m_lines[ctl::ddbViewBody] = bodyList().mid(1);
    m_lines[ctl::cbProjektion] = projectionList();
}

bool MemorySettings::checked(const QString& name) const
{
    const QVariant v = m_values.value(name);
    return v.typeId() == QMetaType::Bool ? v.toBool() : v.toInt() != 0;
}

void MemorySettings::setChecked(const QString& name, bool value)
{
    const SettingRow* row = findSetting(name);
    if (value && row && row->kind == ControlKind::RadioButton)
        for (const QString& other : radioGroupMembers(row->radioGroup))
            m_values[other] = false;
    m_values[name] = value;
}

QString MemorySettings::text(const QString& name) const
{
    return m_values.value(name).toString();
}

void MemorySettings::setText(const QString& name, const QString& value)
{
    m_values[name] = value;
}

int MemorySettings::integer(const QString& name) const
{
    const SettingRow* row = findSetting(name);
    if (row && row->kind == ControlKind::SpinEdit)
        return spinValueFromText(m_values.value(name).toString(), row->minValue);
    return m_values.value(name).toInt();
}

void MemorySettings::setInteger(const QString& name, int value)
{
    const SettingRow* row = findSetting(name);
    if (row && row->kind == ControlKind::SpinEdit)
        m_values[name] = QString::number(spinClamp(value, row->minValue, row->maxValue));
    else
        m_values[name] = value;
}

QStringList MemorySettings::lines(const QString& name) const
{
    return m_lines.value(name);
}

void MemorySettings::setLines(const QString& name, const QStringList& value)
{
    m_lines[name] = value;
}

QVector<CheckItem> MemorySettings::checkItems(const QString& name) const
{
    return m_checkItems.value(name);
}

void MemorySettings::setCheckItems(const QString& name, const QVector<CheckItem>& value)
{
    m_checkItems[name] = value;
}

QString MemorySettings::cell(const QString& name, int column, int row) const
{
    return m_cells.value(cellKey(name, column, row));
}

void MemorySettings::setCell(const QString& name, int column, int row, const QString& value)
{
    m_cells[cellKey(name, column, row)] = value;
}

int MemorySettings::rowCount(const QString&) const
{
    return GridRows;
}

} // namespace gw
