#pragma once
// A whole-number field with the rules the settings rely on: MinValue == MaxValue means
// unbounded, a value set in code goes to the nearest bound, and a displayed text that is
// not a whole number reads as MinValue (a lone "-" while the user types, for example).
#include <QSpinBox>

namespace gw {

class SpinEdit : public QSpinBox
{
    Q_OBJECT
    Q_PROPERTY(int MinValue READ minValue WRITE setMinValue)
    Q_PROPERTY(int MaxValue READ maxValue WRITE setMaxValue)

public:
    explicit SpinEdit(QWidget* parent = nullptr);

    int minValue() const { return m_min; }
    int maxValue() const { return m_max; }
    void setMinValue(int v);
    void setMaxValue(int v);
    void setBounds(int minValue, int maxValue);
    bool unbounded() const { return m_min == m_max; }

    // The value as the settings see it: read from the displayed text, at the moment of use.
    int currentValue() const;
    // Brought to the nearest bound unless unbounded.
    void setCurrentValue(int v);
    // Puts text into the field as if typed, unchecked (tests and the settings loader's
    // non-number cases).
    void setRawText(const QString& text);

protected:
    // Plain digits, whatever the locale: no group separators, so the text reads back.
    QString textFromValue(int value) const override;
    int valueFromText(const QString& text) const override;

private:
    void applyRange();

    int m_min = 0;
    int m_max = 0;
};

} // namespace gw
