#include "store/storeerror.h"

StoreError StoreError::notANumber(const QString &field, const QString &text)
{
    StoreError e(NotANumber, QStringLiteral("“%1”只能填数字，“%2”不是数字。").arg(field, text));
    e.m_field = field;
    e.m_text = text;
    return e;
}

StoreError StoreError::outOfRange(const QString &field, const QString &text)
{
    StoreError e(NumberOutOfRange, QStringLiteral("“%1”的数字“%2”太大了。").arg(field, text));
    e.m_field = field;
    e.m_text = text;
    return e;
}
