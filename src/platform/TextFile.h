#pragma once

#include <QByteArray>
#include <QString>

class QFile;

namespace nw {

// Message files, web-mail files, desktop.ini and the error log are single-byte text. Latin-1 maps every
// byte to one character and back, so what is read is written back unchanged.
namespace TextFile {

// Opens the regular file at `nativePath` (its name in the file system's own bytes, so that names that are
// no valid text open too) for reading. A folder, FIFO, device or socket is refused without waiting on it.
// Throws RuntimeError (53 "File not found", 70 "Permission denied", 75 for anything else).
void openRegular(QFile& file, const QByteArray& nativePath);

// Deletes the file at `nativePath` (named as for openRegular). False when it could not.
bool remove(const QByteArray& nativePath);

// The whole file as text. Throws as openRegular() does, and 57 when the read fails.
QString read(const QString& path);

// Appends `text` (creating the file when missing). Throws RuntimeError on failure.
void append(const QString& path, const QString& text);

// Replaces the file's content with `text`. Throws RuntimeError on failure.
void write(const QString& path, const QString& text);

// `text` with each line end as one LF, the way widgets break lines: LF, CR LF, a lone CR, and the CR CR LF
// of a CR LF answer whose LF was given its own CR.
QString withLineFeeds(QString text);

} // namespace TextFile

} // namespace nw
