#pragma once
// The settings read and written on the main window's own controls, found by objectName.
// Nothing is cached: every read asks the control at the moment of use. Settings without a
// control (the hidden ones, and the colour of the colour dialog) are held here.
#include "settings/SettingsAccess.h"

#include <QHash>
#include <QPointer>
#include <QVariant>

class QAbstractButton;
class QComboBox;
class QLabel;
class QWidget;

namespace gw {

class WidgetSettings : public SettingsAccess
{
public:
    // `form` is the window holding the controls; `iconTextLabel` shows the colour setting.
    explicit WidgetSettings(QObject* form, QLabel* iconTextLabel = nullptr);

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

    // The control of that name; throws gw::Error for a name the window does not have.
    QObject* control(const QString& name) const;

    // The colour value (red in the low byte) as a QColor, and back.

    // Sets a combo box's text, selecting the item that equals it (with case) or none; a drop-down
    // that cannot be typed into gets an entry of its own for a text it does not offer.
    static void setComboText(QComboBox* combo, const QString& text);

private:
    bool isHidden(const QString& name) const { return m_hidden.contains(name); }
    [[noreturn]] void wrongKind(const QString& name, const char* what) const;

    QHash<QString, QPointer<QObject>> m_controls;
    QHash<QString, QVariant> m_hidden;
    QHash<QString, int> m_colours; // colour dialogs: ColorDialog, BodyColor, OrbitColor
    QPointer<QLabel> m_iconText;
};

} // namespace gw
