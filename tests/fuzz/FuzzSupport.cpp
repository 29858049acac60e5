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
        const QList<PromptAnswer> answers = buttonsOf(prompt.buttons);
        return answers.value(prompt.defaultButton, PromptAnswer::None);
    }
};

QTemporaryDir* g_folder = nullptr;

} // namespace

void init()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);

    static SilentPrompts prompts;
    Prompts::install(&prompts);
    ErrorHandler::instance().logErrors = false;

    g_folder = new QTemporaryDir();
    if (!g_folder->isValid())
        std::abort();
    AppPaths::setProgramFolder(g_folder->path());
    for (const char* table : {"whois.rir", "whois.srv"}) {
        const QString source = QStringLiteral(NW_FUZZ_DATA_DIR "/") + QLatin1String(table);
        if (!QFile::copy(source, AppPaths::join(g_folder->path(), QLatin1String(table))))
            std::abort();
    }
}

QString programFolder()
{
    return g_folder->path();
}

void afterInput()
{
    QFile::remove(errorLogPath());
}

QString writeFile(const QString& name, const QByteArray& bytes)
{
    const QString path = AppPaths::join(programFolder(), name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort();
    return path;
}

} // namespace nw::fuzz
