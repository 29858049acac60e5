#include "platform/MessageBoxPrompts.h"

#include "platform/TextFile.h"

#include <QApplication>
#include <QMessageBox>

namespace nw {

namespace {
QMessageBox::StandardButton toButton(PromptAnswer a)
{
    switch (a) {
    case PromptAnswer::Ok: return QMessageBox::Ok;
    case PromptAnswer::Cancel: return QMessageBox::Cancel;
    case PromptAnswer::Yes: return QMessageBox::Yes;
    case PromptAnswer::No: return QMessageBox::No;
    case PromptAnswer::Retry: return QMessageBox::Retry;
    case PromptAnswer::Abort: return QMessageBox::Abort;
    case PromptAnswer::Ignore: return QMessageBox::Ignore;
    case PromptAnswer::None: break;
    }
    return QMessageBox::NoButton;
}

QMessageBox::Icon toIcon(PromptIcon icon)
{
    switch (icon) {
    case PromptIcon::Critical: return QMessageBox::Critical;
    case PromptIcon::Question: return QMessageBox::Question;
    case PromptIcon::Exclamation: return QMessageBox::Warning;
    case PromptIcon::Information: return QMessageBox::Information;
    case PromptIcon::None: break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

std::unique_ptr<QMessageBox> MessageBoxPrompts::box(const Prompt& prompt)
{
    // Texts may break lines with CR LF or a lone CR; a message box breaks only on LF.
    const QString text = TextFile::withLineFeeds(prompt.text);
    auto box = std::make_unique<QMessageBox>(toIcon(prompt.icon), prompt.title, QString(), QMessageBox::NoButton,
                                             QApplication::activeWindow());
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    const auto answers = buttonsOf(prompt.buttons);
    for (const auto a : answers)
        box->addButton(toButton(a));
    box->setDefaultButton(toButton(answers.value(prompt.defaultButton, answers.first())));
    return box;
}

PromptAnswer MessageBoxPrompts::ask(const Prompt& prompt)
{
    const auto answers = buttonsOf(prompt.buttons);
    const auto pressed = static_cast<QMessageBox::StandardButton>(box(prompt)->exec());
    for (const auto a : answers)
        if (toButton(a) == pressed)
            return a;
    // Closed with Esc or the window's close button.
    return answers.contains(PromptAnswer::Cancel) ? PromptAnswer::Cancel : answers.last();
}

} // namespace nw
