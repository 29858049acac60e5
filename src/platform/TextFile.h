#pragma once

#include <QByteArray>
#include <QString>

namespace nw {

// Message files, web-mail files, desktop.ini and the error log are single-byte text. Latin-1 maps every
// byte to one character and back, so what is read is written back unchanged.
namespace TextFile {

// The whole file as text. Throws RuntimeError (53 "File not found", 75 "Path/File access error").
QString read(const QString& path);

// The whole file as bytes, for callers that convert only part of it. Throws as read() does.
QByteArray readBytes(const QString& path);

// Appends `text` (creating the file when missing). Throws RuntimeError on failure.
void append(const QString& path, const QString& text);

// Replaces the file's content with `text`. Throws RuntimeError on failure.
void write(const QString& path, const QString& text);

} // namespace TextFile

} // namespace nw
