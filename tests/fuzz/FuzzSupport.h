#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// What every fuzz target shares: one application object, prompts and error dialogs that never wait for a
// person, and a program folder of its own (the tables, the error log and written files go there).
namespace nw::fuzz {

// The program folder of this run: a temporary folder holding copies of the two look-up tables.
QString programFolder();
// Writes `bytes` to `name` in the program folder and returns the path.
QString writeFile(const QString& name, const QByteArray& bytes);
// A property of the code under test: when it does not hold, the run ends and the fuzzer keeps the input.
void require(bool holds);

// An input whose first byte chooses how the rest is read (0 and nothing for an empty input).
struct Split {
    uint8_t first;
    QByteArray rest;
};
Split split(const QByteArray& input);

// Sets up the process once, gives `test` the fuzzer's bytes (not copied), then drops the error log written
// meanwhile, so the disk use stays flat.
int run(const uint8_t* data, size_t size, void (*test)(const QByteArray&));

} // namespace nw::fuzz

// Defines the target's entry: NW_FUZZ_TARGET(input) { ...checks of one input... }
#define NW_FUZZ_TARGET(input)                                                                                          \
    static void fuzzOne(const QByteArray& input);                                                                      \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)                                            \
    {                                                                                                                  \
        return nw::fuzz::run(data, size, fuzzOne);                                                                     \
    }                                                                                                                  \
    static void fuzzOne(const QByteArray& input)
