#include "authoring/goingback.h"

#include "platform/msgbox.h"
#include "store/testsettings.h"

#include <QSignalBlocker>

GoingBackBox::GoingBackBox(QWidget *parent)
    : QCheckBox(QStringLiteral("允许返回上一题"), parent)
{
    setToolTip(QStringLiteral("勾选后，做这个测试的人可以回到上一题，改掉已经选的答案"));
    connect(this, &QCheckBox::toggled, this, &GoingBackBox::store);
}

void GoingBackBox::setTest(const QString &bank, const QString &test)
{
    m_bank = bank;
    m_test = test;
    const QSignalBlocker quiet(this);
    setChecked(TestSettings::goingBackAllowed(bank, test));
}

void GoingBackBox::store(bool allowed)
{
    if (m_test.isNull())
        return;
    if (const StoreError e = TestSettings::allowGoingBack(m_bank, m_test, allowed)) {
        msgBox(e.message());
        const QSignalBlocker quiet(this);
        setChecked(TestSettings::goingBackAllowed(m_bank, m_test));
    }
}
