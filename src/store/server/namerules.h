#pragma once

#include "store/server/pgconnection.h"

// The server bank keeps the bank file's rules for names itself (server/schema.sql):
// a write it refuses for a name is told as the bank file tells the same refusal.
namespace ServerNames {

// The StoreError number the bank file gives for the refusal in error: 3010 for a name
// that is taken (ASCII letter case ignored), the reserved, empty and invalid names'
// own numbers, 3112 for a category that still holds a test; 0 for any other error.
int storeNumber(const PgError &error);

} // namespace ServerNames
