#pragma once
// Settings held in memory with the rules of the window's controls (spin-edit bounds, radio
// groups), so logic is tested without a window. Starts with the window defaults.
#include "settings/SettingsAccess.h"

#include <QHash>
#include <QVariant>

namespace gw {

class MemorySettings : public SettingsAccess
{
public:
    MemorySettings();

    bool checked(const QString& name) const override;
    void setChecked(const QString& name, bool value) override;
    QString text(const QString& name) const override;
    void setText(const QString& name, const QString& value) override;
    int integer(const QString& name) const override;
    void setInteger(const QString& name, int value) override;
    QStringList lines(const QString& name) const override;
    void setLines(const QString& name, const QStringList& value) override;
    QVector<CheckItem> checkItems(const QString& name) const override;
    void setCheckItems(const QString& name, const QVector<CheckItem>& value) override;
    QString cell(const QString& name, int column, int row) const override;
    void setCell(const QString& name, int column, int row, const QString& value) override;
    int rowCount(const QString& name) const override;

private:
    QHash<QString, QVariant> m_values;
    QHash<QString, QStringList> m_lines;
    QHash<QString, QVector<CheckItem>> m_checkItems;
    QHash<QString, QString> m_cells; // "name|column|row"
};

} // namespace gw
