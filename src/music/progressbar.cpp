#include "music/progressbar.h"

#include <cmath>

namespace {
constexpr int kSteps = 1000; // the drawn bar's resolution
}

ProgressBar::ProgressBar(QWidget *parent)
    : QProgressBar(parent)
{
    setRange(0, kSteps);
    setTextVisible(false);
    redraw();
}

bool ProgressBar::setMin(float min)
{
    if (!std::isfinite(min) || !(min < m_max))
        return false;
    m_min = min;
    if (m_value < m_min || m_value > m_max)
        m_value = m_min;
    redraw();
    return true;
}

bool ProgressBar::setMax(float max)
{
    if (!std::isfinite(max) || !(m_min < max))
        return false;
    m_max = max;
    if (m_value < m_min || m_value > m_max)
        m_value = m_min;
    redraw();
    return true;
}

bool ProgressBar::setValue(float value)
{
    if (!(value >= m_min && value <= m_max))
        return false;
    m_value = value;
    redraw();
    return true;
}

void ProgressBar::redraw()
{
    const double part = (double(m_value) - m_min) / (double(m_max) - m_min);
    QProgressBar::setValue(int(std::lround(part * kSteps)));
}
