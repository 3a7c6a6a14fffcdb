#pragma once

#include <QObject>
#include <QString>

// News of a bank that other copies of the program share (a server bank): it changed,
// so what a window shows of it may be old. The bank file tells nothing; its windows
// compare what they hold when they next read, as always.
class BankNews : public QObject
{
    Q_OBJECT

public:
    static BankNews *instance();

    // Tells the windows that the bank at location changed.
    void tell(const QString &location) { emit changed(location); }

signals:
    // The bank at location changed: a row, a test or a category; or the connection came
    // back after a break, and anything may have.
    void changed(const QString &location);
};
