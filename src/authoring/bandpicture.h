#pragma once

#include "scoring/bandcheck.h"

#include <QWidget>

// The bands of a test over the axis of totals, to be read at a glance: one bar a band
// with its bounds written on it, the totals a taker can reach as marks standing on the
// axis, numbered ticks under it at round steps, and the totals no band holds (red) or
// two or more bands hold (orange) as shaded stretches with the number of totals in
// each. A band that holds no reachable total is grey.
class BandPicture : public QWidget
{
    Q_OBJECT

public:
    explicit BandPicture(QWidget *parent = nullptr);

    void setCheck(const BandCheck::Check &check);

    // A round step for numbered ticks over span that leaves at least `pixels` between
    // them on `width` pixels: 1, 2 or 5 times a power of ten.
    static double tickStep(double span, int width, int pixels);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The totals shown on the axis, widened a little so that the ends stay visible.
    void axisRange(double *lo, double *hi) const;

    BandCheck::Check m_check;
};
