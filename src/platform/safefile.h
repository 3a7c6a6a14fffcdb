#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The program's small files, read and written so that no file the folder holds can
// stop it: a FIFO, device, socket or folder where a file is expected counts as no file
// (opening never blocks), a read never runs past its bound, and a write replaces the
// file instead of writing through a link that stands in its place.

// Whether path names a regular file (a link to one counts). Never blocks.
bool isRegularFile(const QString &path);

// At most `limit` bytes from the start of the regular file at path; nothing when there
// is no such file or it cannot be read.
std::optional<QByteArray> readRegularFile(const QString &path, qint64 limit);

// Writes bytes as the whole new content of path: into a new file beside it, then renamed
// over it, so a crash leaves the old content or the new one and a link at path is
// replaced, not followed. A folder that lets the file be written but nothing be created
// beside it gets the bytes written into the (regular, unlinked) file itself. False with
// *reason (Chinese where common) when it cannot be done.
bool replaceFile(const QString &path, const QByteArray &bytes, QString *reason);
