#pragma once

#include "store/storeerror.h"

#include <QString>

// Which form of a test a result was scored on: a fingerprint of everything a taker
// meets and the score depends on — each question with its option texts and scores in
// order, and each band with its bounds and evaluation. Two results with the same
// fingerprint answered the same questions and were judged by the same bands.
namespace TestVersion {

// The fingerprint of the test as the bank holds it now: 16 hexadecimal digits, or
// empty with *error when its question or scoring table cannot be read.
QString of(const QString &bank, const QString &test, StoreError *error = nullptr);

// How the windows name a version: its first digits, or "版本不明" for a result kept
// before results named their version.
QString label(const QString &version);

} // namespace TestVersion
