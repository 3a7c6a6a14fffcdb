#pragma once

#include <QObject>
#include <QString>

// The bank every window works on: the bank file of the program folder (test.mdb) unless
// the user connected to a server bank, whose location ("postgresql://...") then stands
// wherever the file's path stood. Windows ask for it when they open; a change of bank
// closes the windows that hold the old one first.

// The open bank's location: the bank file's path by default.
QString currentBank();
// The bank file of the program folder, whichever bank is open.
QString fileBank();
// Makes location the open bank; empty: the bank file again.
void setCurrentBank(const QString &location);

// Tells who shows which bank is open (the main window's caption) that it changed.
class CurrentBank : public QObject
{
    Q_OBJECT

public:
    static CurrentBank *notifier();

signals:
    void changed(const QString &location);
};
