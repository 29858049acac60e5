#include "intake/frmWebmail.h"

#include "app/AppState.h"
#include "controls/CaptionFrame.h"
#include "controls/Hyperlink.h"
#include "errors/ErrorHandler.h"
#include "header/MessageIntake.h"
#include "intake/JunkChute.h"
#include "intake/Webmail.h"
#include "platform/Prompts.h"

#include <QDir>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace nw {

namespace {
const QString kNoHeader = QStringLiteral("This message does not appear to contain the full email header!");
const QString kNoHeaderTitle = QStringLiteral("No Header");
} // namespace

frmWebmail::frmWebmail(AppState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setWindowTitle(QStringLiteral("Webmail Conversion"));
    supJunkChute = new CaptionFrame(QStringLiteral("Webmail Conversion"), this);
    txtInstructions = new QPlainTextEdit(supJunkChute);
    txtInstructions->setReadOnly(true);
    // The text's own lines are kept; the box wraps them to its width.
    txtInstructions->setPlainText(webmailInstructions());
    hlnkProcessMessage = new Hyperlink(QStringLiteral("Save Message"), supJunkChute);
    supJunkChute->body()->addWidget(txtInstructions, 1);
    auto* actions = new QHBoxLayout;
    actions->addStretch(1);
    actions->addWidget(hlnkProcessMessage);
    supJunkChute->body()->addLayout(actions);

    supBody = new CaptionFrame(QStringLiteral("Message Header and Body"), this);
    txtSpamFile = new QPlainTextEdit(supBody);
    // A pasted header keeps its tabs; the Tab key moves on to the next field.
    txtSpamFile->setTabChangesFocus(true);
    txtSpamFile->setLineWrapMode(QPlainTextEdit::NoWrap);
    supBody->body()->addWidget(txtSpamFile);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(supJunkChute, 2);
    layout->addWidget(supBody, 3);
    connect(hlnkProcessMessage, &Hyperlink::clicked, this, &frmWebmail::hlnkProcessMessage_Click);
}

bool frmWebmail::Form_Load()
{
    return runGuarded("Form_Load", false, [&] { return CreateJunkChute(m_state); });
}

void frmWebmail::hlnkProcessMessage_Click()
{
    // A text box holds LF line ends; the file gets the CR LF of every message file.
    const QString text = txtSpamFile->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    if (!IsFullHeader(text)) {
        msgBox(kNoHeader, PromptButtons::Ok, PromptIcon::None, kNoHeaderTitle);
        return;
    }
    QString path;
    switch (saveWebmail(m_state.junkChuteFolder(), text, &path)) {
    case WebmailSave::AllNamesTaken:
        return;
    case WebmailSave::WriteFailed:
        // The pasted text is all the user has: keep it and say why nothing was saved.
        msgBox(QStringLiteral("Unable to save the message as %1.").arg(QDir::toNativeSeparators(path)));
        return;
    case WebmailSave::Saved:
        txtSpamFile->clear();
        return;
    }
}

} // namespace nw
