#include "FuzzSupport.h"

#include "errors/ErrorHandler.h"
#include "platform/AppPaths.h"
#include "platform/Prompts.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace nw::fuzz {

namespace {

// Answers every prompt with its default button at once.
class SilentPrompts : public Prompts {
public:
    PromptAnswer ask(const Prompt& prompt) override
    {
        return buttonsOf(prompt.buttons).value(prompt.defaultButton, PromptAnswer::None);
    }
};

QTemporaryDir* g_folder = nullptr;

void init()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    static SilentPrompts prompts;
    Prompts::install(&prompts);
    ErrorHandler::instance().logErrors = false;
    g_folder = new QTemporaryDir();
    require(g_folder->isValid());
    AppPaths::setProgramFolder(g_folder->path());
    for (const char* table : {"whois.rir", "whois.srv"})
        require(QFile::copy(QStringLiteral(NW_FUZZ_DATA_DIR "/") + QLatin1String(table),
                            AppPaths::join(g_folder->path(), QLatin1String(table))));
}

} // namespace

QString programFolder()
{
    return g_folder->path();
}

QString writeFile(const QString& name, const QByteArray& bytes)
{
    const QString path = AppPaths::join(programFolder(), name);
    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
    return path;
}

void require(bool holds)
{
    if (!holds)
        std::abort();
}

Split split(const QByteArray& input)
{
    if (input.isEmpty())
        return {0, {}};
    return {uint8_t(input.at(0)), QByteArray::fromRawData(input.constData() + 1, input.size() - 1)};
}

int run(const uint8_t* data, size_t size, void (*test)(const QByteArray&))
{
    static const bool ready = (init(), true);
    Q_UNUSED(ready);
    test(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    QFile::remove(errorLogPath());
    return 0;
}

} // namespace nw::fuzz
