#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// What every fuzz target shares: one application object, prompts and error dialogs that never wait for a
// person, and a program folder of its own (the tables, the error log and written files go there).
namespace nw::fuzz {

// Sets up the process once; later calls return at once.
void init();

// The program folder of this run: a temporary folder holding copies of the two look-up tables.
QString programFolder();

// Call after each input: drops the error log written meanwhile, so the disk use stays flat.
void afterInput();

// The fuzzer's bytes as a byte array without copying.
inline QByteArray bytesOf(const uint8_t* data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
}

// The input of a target that feeds what arrives in pieces: the first byte sets the size of the pieces
// (1 to 64 bytes), the rest is what arrives. Needs at least one byte.
struct PiecedInput {
    qsizetype piece;
    QByteArray bytes;
};
inline PiecedInput piecedInput(const uint8_t* data, size_t size)
{
    return {data[0] % 64 + 1, bytesOf(data + 1, size - 1)};
}

// Writes `bytes` to `name` in the program folder and returns the path.
QString writeFile(const QString& name, const QByteArray& bytes);

} // namespace nw::fuzz
