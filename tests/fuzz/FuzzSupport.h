#pragma once

#include "../support/Files.h"
#include "errors/ErrorHandler.h"
#include "platform/AppPaths.h"
#include "platform/Prompts.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

// What every fuzz target shares: one application object, prompts and error dialogs that never wait for a
// person, and a program folder of its own (the tables, the error log and written files go there).
namespace nw::fuzz {

// A property of the code under test: when it does not hold, the run ends and the fuzzer keeps the input.
inline void require(bool holds)
{
    if (!holds)
        std::abort();
}

// The program folder of this run: a temporary folder holding copies of the two look-up tables.
inline QString programFolder()
{
    static const QString folder = [] {
        static int argc = 1;
        static char* argv[] = {const_cast<char*>("fuzz"), nullptr};
        new QCoreApplication(argc, argv);
        // Answers every prompt with its default button at once.
        static struct : Prompts {
            PromptAnswer ask(const Prompt& p) override
            {
                return buttonsOf(p.buttons).value(p.defaultButton, PromptAnswer::None);
            }
        } prompts;
        Prompts::install(&prompts);
        ErrorHandler::instance().logErrors = false;
        static QTemporaryDir dir;
        require(dir.isValid());
        AppPaths::setProgramFolder(dir.path());
        for (const char* table : {"whois.rir", "whois.srv"})
            require(QFile::copy(QStringLiteral(NW_FUZZ_DATA_DIR "/") + QLatin1String(table),
                                AppPaths::join(dir.path(), QLatin1String(table))));
        return dir.path();
    }();
    return folder;
}

// Writes `bytes` to `name` in the program folder and returns the path.
inline QString writeFile(const QString& name, const QByteArray& bytes)
{
    const QString path = AppPaths::join(programFolder(), name);
    require(test::writeBytes(path, bytes));
    return path;
}

// An input whose first byte chooses how the rest is read (0 and nothing for an empty input).
inline std::pair<uint8_t, QByteArray> split(const QByteArray& input)
{
    return {input.isEmpty() ? uint8_t(0) : uint8_t(input.at(0)), input.mid(1)};
}

} // namespace nw::fuzz

// Defines the target's entry: NW_FUZZ_TARGET(input) { ...checks of one input, in namespace nw::fuzz... }. The
// process is set up once; the input is the fuzzer's bytes (not copied); the error log written meanwhile is
// dropped, so the disk use stays flat.
#define NW_FUZZ_TARGET(input)                                                                                          \
    namespace nw::fuzz {                                                                                               \
    static void one(const QByteArray& input);                                                                          \
    }                                                                                                                  \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)                                            \
    {                                                                                                                  \
        nw::fuzz::programFolder();                                                                                     \
        nw::fuzz::one(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));                  \
        QFile::remove(nw::errorLogPath());                                                                             \
        return 0;                                                                                                      \
    }                                                                                                                  \
    void nw::fuzz::one(const QByteArray& input)
