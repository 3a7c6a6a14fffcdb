#pragma once

#include <QString>

class QFileDevice;

// Why a file could not be opened, read or written, in Chinese for the common cases
// (missing, not allowed, a folder, disk full, read-only); the system's own text
// otherwise.
QString fileErrorReason(const QFileDevice &file);
QString fileErrorReason(const QString &systemText);
