#include "store/bankbackend.h"

#include "store/sqlitebank.h"

#include <QHash>

namespace {

QHash<QString, BankBackend::Maker> &makers()
{
    static QHash<QString, BankBackend::Maker> all;
    return all;
}

// "name://...", as a URL begins: a bank that is no file. (A relative path that
// begins so is written "./name://...".) The scheme, or empty.
QString schemeOf(const QString &location)
{
    const auto letter
        = [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
    if (location.isEmpty() || !letter(location.front()))
        return {};
    for (qsizetype i = 1; i < location.size(); ++i) {
        const QChar c = location.at(i);
        if (c == u':')
            return QStringView(location).mid(i + 1, 2) == u"//" ? location.left(i) : QString();
        if (!letter(c) && !(c >= u'0' && c <= u'9') && c != u'+' && c != u'.' && c != u'-')
            return {};
    }
    return {};
}

} // namespace

std::unique_ptr<BankBackend> BankBackend::forLocation(const QString &location, StoreError *error)
{
    if (const QString scheme = schemeOf(location); !scheme.isEmpty()) {
        if (const auto make = makers().constFind(scheme.toLower()); make != makers().cend()) {
            *error = {};
            return (*make)(location);
        }
        *error = StoreError(StoreError::UnknownBank,
            QStringLiteral("“%1”不是题库文件，这种题库这个程序还打不开。").arg(location));
        return nullptr;
    }
    *error = {};
    return std::make_unique<SqliteBank>(location);
}

bool BankBackend::isFile(const QString &location)
{
    return schemeOf(location).isEmpty();
}

StoreError BankTable::values(int field, QList<qint64> *ids, QVariantList *values)
{
    values->clear();
    QStringList texts;
    if (const StoreError e = column(field, ids, &texts))
        return e;
    values->reserve(texts.size());
    for (const QString &text : std::as_const(texts)) {
        if (text.isEmpty())
            values->append(QVariant());
        else
            values->append(isSingle(field) ? QVariant(text.toDouble()) : QVariant(text));
    }
    return {};
}

void BankBackend::install(const QString &scheme, Maker make)
{
    makers().insert(scheme.toLower(), std::move(make));
}
