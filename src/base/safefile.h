#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Every file the program reads or writes, reached so that no file the folder holds can
// stop it: a FIFO, device, socket or folder where a file is expected counts as no file
// (opening never blocks), a read never runs past its bound, and a write replaces the
// file instead of writing through a link that stands in its place. Readers of a file's
// bytes go through readFile() (or readRegularFile() for the small files that are read
// in part); SQLite files are opened only after databaseFile() let them through.

// Whether path names a regular file (a link to one counts). Never blocks.
bool isRegularFile(const QString &path);

// The whole content of the regular file at path, refused (nothing, with *reason in
// Chinese, e.g. "不是普通文件") when there is no such file, it is no regular file, it
// holds more than `limit` bytes, or it cannot be read. Opening never blocks.
std::optional<QByteArray> readFile(const QString &path, qint64 limit, QString *reason);

// At most `limit` bytes from the start of the regular file at path; nothing when there
// is no such file or it cannot be read.
std::optional<QByteArray> readRegularFile(const QString &path, qint64 limit);

// Writes bytes as the whole new content of path: into a new file beside it, flushed to
// the disk, then renamed over it, so a crash or a full disk leaves the old content or
// the new one and a link at path is replaced, not followed. A folder that lets the file
// be written but nothing be created beside it gets the bytes written into the (regular,
// unlinked) file itself, after room for them was taken. False with *reason (Chinese
// where common) when it cannot be done.
bool replaceFile(const QString &path, const QByteArray &bytes, QString *reason);

// What stands at the path of an SQLite file before it is handed to SQLite.
struct DatabaseFile
{
    bool exists = false; // false: nothing there yet (SQLite may create it)
    QString linkTarget; // set when path is a link into another folder: the file it leads to
};

// Lets through a path SQLite may open: nothing there, a regular file, or a link to one.
// Anything else (a FIFO, device, socket, folder, a link to one of them or a dangling
// link) is refused with *reason ("不是普通文件", "是一个文件夹，不是文件", ...).
std::optional<DatabaseFile> databaseFile(const QString &path, QString *reason);

// The file a link at path leads to when it leads into another folder than the link's
// own, else empty (no link, or one within the folder).
QString linkIntoOtherFolder(const QString &path);
