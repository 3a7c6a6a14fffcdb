#include "bank/Data.h"

#include <QLabel>

Data::Data(QWidget *parent)
    : QFrame(parent)
{
}
Data::~Data() = default;
QString Data::Caption() const { return {}; }
void Data::setCaption(const QString &) { }
StoreError Data::Refresh() { return {}; }
void Data::bind(QLineEdit *, const QString &) { }
void Data::bind(QTextEdit *, const QString &) { }
void Data::bind(QLabel *, const QString &) { }
QWidget *Data::boundControl(const QString &) const { return nullptr; }
bool Data::DataChanged(const QWidget *) const { return false; }
StoreError Data::Unload() { return {}; }
StoreError Data::UnloadAll(QWidget *) { return {}; }
void Data::show() { }
void Data::stage() { }
void Data::markChanged(QObject *) { }
void Data::navigate(int) { }
QString Data::textOf(const Binding &) const { return {}; }
