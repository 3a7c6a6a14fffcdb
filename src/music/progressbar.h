#pragma once

#include <QProgressBar>

// A progress bar with single-precision minimum, maximum and value, that keeps
// minimum < maximum and minimum <= value <= maximum: a value outside the range, and a
// maximum or minimum that would make the minimum reach the maximum, is refused and
// leaves the bar as it was (the setter returns false).
//
// A new range that leaves the value outside moves the value to the new minimum: the
// bar then shows the start of what it measures, never a finished piece.
class ProgressBar : public QProgressBar
{
    Q_OBJECT

public:
    explicit ProgressBar(QWidget *parent = nullptr);

    float Min() const { return m_min; }
    float Max() const { return m_max; }
    float Value() const { return m_value; }
    bool setMin(float min);
    bool setMax(float max);
    bool setValue(float value);

private:
    void redraw();

    float m_min = 0;
    float m_max = 100;
    float m_value = 0;
};
