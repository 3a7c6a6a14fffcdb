#pragma once

#include <QCheckBox>

// The question editor's "允许返回上一题" box: whether takers of the test may go back to
// an earlier question and change their answer. Each change is stored at once; a
// change the bank refuses is reported and the box shows the stored setting again.
class GoingBackBox : public QCheckBox
{
    Q_OBJECT

public:
    explicit GoingBackBox(QWidget *parent);

    // Shows the setting of the test in the bank, and stores changes to it there.
    void setTest(const QString &bank, const QString &test);

private:
    void store(bool allowed);

    QString m_bank;
    QString m_test;
};
