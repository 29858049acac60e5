#pragma once

#include <QByteArray>
#include <QString>

namespace nw::test {

// The file's bytes; empty when it cannot be read.
QByteArray fileBytes(const QString& path);
// Creates or replaces the file; false when it cannot be written.
bool writeBytes(const QString& path, const QByteArray& bytes);
// `size` bytes of noise, different on every call.
QByteArray randomBytes(qsizetype size);

} // namespace nw::test
