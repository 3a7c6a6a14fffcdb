#include "bank/store/recordset.h"

struct Recordset::Impl
{
};

namespace {
StoreError notOpen()
{
    return StoreError(StoreError::NotOpen, QStringLiteral("没有打开表。"));
}
} // namespace

Recordset::Recordset(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Impl>())
{
}
Recordset::~Recordset() = default;
StoreError Recordset::open(const QString &, const QString &) { return notOpen(); }
StoreError Recordset::Close() { return {}; }
void Recordset::release() { }
bool Recordset::isOpen() const { return false; }
QString Recordset::table() const { return {}; }
QString Recordset::bank() const { return {}; }
StoreError Recordset::MoveFirst() { return notOpen(); }
StoreError Recordset::MoveLast() { return notOpen(); }
StoreError Recordset::MoveNext() { return notOpen(); }
StoreError Recordset::MovePrevious() { return notOpen(); }
int Recordset::AbsolutePosition() const { return -1; }
int Recordset::RecordCount() const { return 0; }
StoreError Recordset::AddNew() { return notOpen(); }
StoreError Recordset::Update() { return notOpen(); }
StoreError Recordset::Delete() { return notOpen(); }
StoreError Recordset::FindFirst(const QString &, const QString &) { return notOpen(); }
StoreError Recordset::Refresh() { return notOpen(); }
StoreError Recordset::commit() { return {}; }
bool Recordset::hasCurrent() const { return false; }
bool Recordset::isAdding() const { return false; }
bool Recordset::hasChanges() const { return false; }
QStringList Recordset::fieldNames() const { return {}; }
bool Recordset::hasField(const QString &) const { return false; }
bool Recordset::isSingleField(const QString &) const { return false; }
QString Recordset::value(const QString &) const { return {}; }
StoreError Recordset::setValue(const QString &, const QString &) { return notOpen(); }
QStringList Recordset::column(const QString &) const { return {}; }
