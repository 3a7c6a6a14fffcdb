#pragma once

#include "authoring/bandcheck.h"

#include <QWidget>

// The bands of a test over the axis of totals: one row a band, the totals a taker can
// reach marked on the axis, the totals no band holds in red and those two or more bands
// hold in orange. A band that holds no reachable total is grey.
class BandPicture : public QWidget
{
    Q_OBJECT

public:
    explicit BandPicture(QWidget *parent = nullptr);

    void setCheck(const BandCheck::Check &check);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The totals shown on the axis, widened a little so that the ends stay visible.
    void axisRange(double *lo, double *hi) const;

    BandCheck::Check m_check;
};
