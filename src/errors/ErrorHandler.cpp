#include "errors/ErrorHandler.h"

#include "platform/AppInfo.h"
#include "platform/AppPaths.h"
#include "platform/Prompts.h"
#include "platform/TextFile.h"

#include <QHash>
#include <QLocale>

#include <cstdlib>
#include <limits>

namespace nw {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kParameterIndent = QString(18, QLatin1Char(' '));

// The stand-in for the error dialog: the number and description in a message box.
class PromptsErrorPresenter : public ErrorPresenter {
public:
    void setError(const QString& numberText, const QString& description) override
    {
        m_number = numberText;
        m_description = description;
    }
    void appendStack(const QString&) override {}
    QString showModal(const QStringList& captions) override
    {
        const QString text = QStringLiteral("Error%1: %2").arg(m_number, m_description);
        if (captions.size() == 3) {
            switch (msgBox(text, PromptButtons::AbortRetryIgnore, PromptIcon::Critical)) {
            case PromptAnswer::Abort: return captions.at(0);
            case PromptAnswer::Retry: return captions.at(1);
            case PromptAnswer::Ignore: return captions.at(2);
            default: return QString();
            }
        }
        msgBox(text, PromptButtons::Ok, PromptIcon::Critical);
        return captions.value(0);
    }
    void unload() override
    {
        m_number.clear();
        m_description.clear();
    }

private:
    QString m_number;
    QString m_description;
};

PromptsErrorPresenter& standIn()
{
    static PromptsErrorPresenter instance;
    return instance;
}

QString productLine()
{
    return QStringLiteral("     Product:     %1 (%2)").arg(appTitle(), versionText());
}

// Shown when a tracker or log request itself fails; reports nothing further.
void showOwnFailure(const RuntimeError& e, const QString& title)
{
    msgBox(errorNumberText(e.number()) + QStringLiteral(" - ") + e.description(), PromptButtons::Ok,
           PromptIcon::Critical, title);
}

} // namespace

ErrorHandler& ErrorHandler::instance()
{
    static ErrorHandler handler;
    return handler;
}

ErrorPresenter& ErrorHandler::presenter() { return m_presenter ? *m_presenter : standIn(); }

void ErrorHandler::reset()
{
    stackTracking = true;
    logErrors = true;
    m_depth = 0;
    m_stack = QStringList{QString()};
    m_presenter = nullptr;
    m_exit = nullptr;
    m_clock = nullptr;
}

QString errorLogPath() { return AppPaths::logFile(appTitle() + QStringLiteral(".err")); }

QString outcomeLogPath() { return AppPaths::logFile(appTitle() + QStringLiteral(".log")); }

QString generalDateText(const QDateTime& when)
{
    const QLocale locale = QLocale::system();
    // The long time format may carry a time-zone name; the general date format does not.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    timeFormat = timeFormat.trimmed();
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(when.time(), timeFormat);
}

QString errorNumberText(int number)
{
    return number < 0 ? QString::number(number) : QLatin1Char(' ') + QString::number(number);
}

const QString& routineName(const char* literal)
{
    // Keyed by address, with the text kept to tell a reused buffer from the literal first seen there.
    static QHash<const void*, std::pair<QByteArray, QString>> names;
    auto it = names.find(literal);
    if (it == names.end() || it->first != literal)
        it = names.insert(literal, {QByteArray(literal), QString::fromLatin1(literal).toUpper()});
    return it->second;
}

void TraceStack(int mode, const QString& name)
{
    ErrorHandler& h = ErrorHandler::instance();
    if (!h.stackTracking)
        return;
    try {
        switch (mode) {
        case 0:
            if (h.m_depth == std::numeric_limits<qint16>::max())
                throw RuntimeError(6);
            ++h.m_depth;
            h.m_stack.resize(h.m_depth + 1);
            h.m_stack[h.m_depth] = name.toUpper();
            break;
        case 1:
            if (h.m_depth == 0)
                throw RuntimeError(9);
            --h.m_depth;
            h.m_stack.resize(h.m_depth + 1);
            break;
        case 2: {
            QString text;
            for (int i = h.m_depth; i >= 1; --i)
                text += QString::number(i) + QStringLiteral(" - ") + h.m_stack.at(i) + kCrLf;
            msgBox(text, PromptButtons::Ok, PromptIcon::Information,
                   QStringLiteral("Stack Dump [%1]").arg(appTitle()));
            break;
        }
        case 3: {
            QString text = QStringLiteral("     -- Stack --") + kCrLf;
            for (int i = h.m_depth; i >= 1; --i)
                text += QLatin1Char('\t') + QString::number(i) + QStringLiteral(" - ") + h.m_stack.at(i) + kCrLf;
            text += kCrLf;
            TextFile::append(errorLogPath(), text);
            break;
        }
        default: break;
        }
    } catch (const RuntimeError& e) {
        showOwnFailure(e, QStringLiteral("Unable to Process Stack Request"));
    }
}

void WriteErrorLog(const QString& record)
{
    try {
        const QString text = QStringLiteral("<-- ") + generalDateText(ErrorHandler::instance().now()) +
                             QStringLiteral(" -->") + kCrLf + productLine() + kCrLf + record + kCrLf;
        TextFile::append(errorLogPath(), text);
    } catch (const RuntimeError& e) {
        showOwnFailure(e, QStringLiteral("Unable to Write Error Log"));
    }
}

// Mode | buttons                 | result
//  0   | Quit                    | "Exiting Program", the process ends
//  1   | OK                      | 1
//  2   | Quit, Retry, Ignore     | Quit ends the process; Retry 1; Ignore 3; closed without a button 0
//  3   | OK                      | 3
// other| not shown (stays filled)| 0
int HandleError(const RuntimeError& error, const QString& description, int mode, const QVariantList& parameters)
{
    ErrorHandler& h = ErrorHandler::instance();

    QString parameterText;
    if (parameters.isEmpty())
        parameterText = kParameterIndent + QStringLiteral("None");
    for (const QVariant& p : parameters)
        parameterText += kParameterIndent + p.toString() + kCrLf;

    const QString number = errorNumberText(error.number());
    ErrorPresenter& dialog = h.presenter();
    dialog.setError(number, description);
    if (h.stackTracking) {
        QString lines;
        for (int i = h.m_depth; i >= 1; --i)
            lines += QString::number(i) + QStringLiteral(" - ") + h.m_stack.at(i) + kCrLf;
        dialog.appendStack(lines);
    }
    const QString record = QStringLiteral("     -- Error --") + kCrLf + QStringLiteral("     Number:     ") + number +
                           kCrLf + QStringLiteral("     Description: ") + description + kCrLf +
                           QStringLiteral("     Parameters:") + kCrLf + parameterText + kCrLf;
    dialog.appendStack(record);

    if (h.logErrors)
        WriteErrorLog(record);
    TraceStack(3, QString());

    const QString quit = QStringLiteral("Quit");
    const auto exitProgram = [&h] {
        msgBox(QStringLiteral("Exiting Program"), PromptButtons::Ok, PromptIcon::Critical);
        if (h.m_exit)
            h.m_exit();
        else
            std::exit(1);
    };

    switch (mode) {
    case 0:
        dialog.showModal({quit});
        dialog.unload();
        exitProgram();
        return 0;
    case 1:
    case 3:
        dialog.showModal({QStringLiteral("OK")});
        dialog.unload();
        return mode;
    case 2: {
        const QString pressed = dialog.showModal({quit, QStringLiteral("Retry"), QStringLiteral("Ignore")});
        if (pressed == quit) {
            exitProgram();
            return 0;
        }
        dialog.unload();
        if (pressed == QStringLiteral("Retry"))
            return 1;
        if (pressed == QStringLiteral("Ignore"))
            return 3;
        return 0;
    }
    default: return 0;
    }
}

void reportFailure(const RuntimeError& error)
{
    if (error.number() == 1)
        return;
    HandleError(error, error.description(), 3);
}

void reportFailure(const std::exception& error)
{
    if (dynamic_cast<const std::bad_alloc*>(&error))
        reportFailure(RuntimeError(7));
    else
        reportFailure(RuntimeError(5, QString::fromLocal8Bit(error.what())));
}

} // namespace nw
