#include "app/SpinEdit.h"

#include "settings/SettingsTable.h"

#include <QLineEdit>
#include <climits>

namespace gw {

SpinEdit::SpinEdit(QWidget* parent)
    : QSpinBox(parent)
{
    applyRange();
}

void SpinEdit::setMinValue(int v)
{
    m_min = v;
    applyRange();
}

void SpinEdit::setMaxValue(int v)
{
    m_max = v;
    applyRange();
}

void SpinEdit::setBounds(int minValue, int maxValue)
{
    m_min = minValue;
    m_max = maxValue;
    applyRange();
}

void SpinEdit::applyRange()
{
    // Equal bounds are the "no limit" convention, so the widget must accept every int.
    if (unbounded())
        setRange(INT_MIN, INT_MAX);
    else
        setRange(qMin(m_min, m_max), qMax(m_min, m_max));
}

int SpinEdit::currentValue() const
{
    return spinClamp(spinValueFromText(lineEdit()->text(), m_min), m_min, m_max);
}

void SpinEdit::setCurrentValue(int v)
{
    const int clamped = spinClamp(v, m_min, m_max);
    setValue(clamped);
    // setValue leaves the text alone when the value is unchanged but the text was edited.
    const QString shown = textFromValue(clamped);
    if (lineEdit()->text() != shown)
        lineEdit()->setText(shown);
}

QString SpinEdit::textFromValue(int value) const
{
    return QString::number(value);
}

int SpinEdit::valueFromText(const QString& text) const
{
    return spinClamp(spinValueFromText(text, m_min), m_min, m_max);
}

void SpinEdit::setRawText(const QString& text)
{
    lineEdit()->setText(text);
}

} // namespace gw
