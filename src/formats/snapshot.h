#pragma once

#include "store/storeerror.h"

#include <QString>

// The published tests of a server bank, downloaded into their snapshot (a bank file of
// the program folder, Classroom::snapshotPath) for taking them while the server cannot
// be reached.
namespace Snapshot {

// Downloads what the user may take from the server bank now, replacing the earlier
// snapshot only once the new one is whole.
StoreError download(const QString &server);

} // namespace Snapshot
