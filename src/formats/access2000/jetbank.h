#pragma once

#include "store/storeerror.h"

#include <QByteArray>
#include <QString>

// A user's Access 2000 (Jet 4) test.mdb becomes a bank of the store, once: every user
// table in catalogue order, its fields in order and its rows in the order a Jet reader
// visits them, every value exact. Text and Memo become TEXT, Single REAL, and the
// other Jet types the nearest SQLite type (see jetbank.cpp).
//
// The original is never changed: it is kept as "test.mdb.access2000" (or, when that
// name is taken, "test.mdb.access2000.2", ...) by a hard link or, where the file
// system has none, a copy. The new bank is written beside it under a temporary name,
// synced, and renamed over test.mdb only after the original is kept, so that a process
// killed at any moment leaves either the untouched Jet file or the whole new bank
// beside the kept original. Converters in several processes take turns on an flock of
// the Jet file; the later ones find the new bank and do nothing.
namespace JetBank {

// What a file's header says it is.
enum class Format {
    Other, // not an Access database at all (an SQLite bank, say)
    Jet3, // Access 97
    Jet4, // Access 2000 to 2003
    Ace, // Access 2007 and later
};
Format format(const QByteArray &header);
Format formatOf(const QString &path);

struct Conversion
{
    QString bank; // the converted file, test.mdb
    QString keptAs; // where the original is kept
    int tables = 0;
    qint64 rows = 0;
    int replaced = 0; // characters that could not be read exactly
};

// Told about every conversion this process makes (the windows show a progress dialog
// and the one message). Calls come on the converting thread, inside the store.
class Observer
{
public:
    virtual ~Observer() = default;
    virtual void started(const QString &bank, int tables) = 0;
    virtual void progress(int tablesDone) = 0;
    // converted is null when the conversion failed (and nothing was written).
    virtual void finished(const Conversion *converted) = 0;
};
void setObserver(Observer *observer);

// Makes every bank the store opens go through convertIfJet first (BankFile::setPreparer).
void install();

// When the file at bank is an Access 2000 database, converts it; does nothing for any
// other file (a missing one included). Access 97 and Access 2007+ files, a damaged file,
// one without "分类列表", a folder that cannot be written and a full disk are refused
// with a message naming the file, and then nothing is written.
StoreError convertIfJet(const QString &bank, Conversion *converted = nullptr);

// Writes the Access 2000 bank at jetFile as a new bank at bank (a file that must not yet
// exist), leaving jetFile as it is and telling no observer: for reading another bank.
StoreError convertCopy(const QString &jetFile, const QString &bank);

} // namespace JetBank
