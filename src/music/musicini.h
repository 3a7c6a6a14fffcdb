#pragma once

#include <QByteArray>
#include <QString>

// music.ini in the program folder: one line, the full path of the default piece,
// ended by CR LF.
namespace MusicIni {

// The line that stands for gaoshanls.mp3 in the program folder, wherever that is.
inline constexpr char16_t kShippedPiece[] = u"E:\\Qelvi\\gaoshanls.mp3";

// The first line of music.ini; "" when the file is missing, unreadable or empty, or
// when that line runs on past any path (64 KiB).
QString readPath();

// The path to play for a line read from music.ini.
QString resolve(const QString &path);

// Text of the file: UTF-8 when the bytes are valid UTF-8, else GBK (a file carried
// over from a Chinese Windows system).
QString decode(const QByteArray &bytes);

// Creates or replaces music.ini with the path and CR LF, in UTF-8. On failure returns
// false, leaves any old file whole and sets reason to why.
bool writePath(const QString &path, QString *reason);

} // namespace MusicIni
