#include "mail/frmEmail.h"

#include "controls/CaptionFrame.h"
#include "controls/Hyperlink.h"
#include "road/ComplaintStage.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace nw {

namespace {
void showText(QLineEdit* field, const QString& text)
{
    if (field->text() != text)
        field->setText(text);
}
} // namespace

Hyperlink* layOutMailWindow(QWidget* window, CaptionFrame* address, CaptionFrame* body, QPlainTextEdit* txtBody)
{
    body->body()->addWidget(txtBody);
    auto* link = new Hyperlink(QStringLiteral("Send Message"), window);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(address);
    layout->addWidget(body, 1);
    layout->addWidget(link);
    return link;
}

frmEmail::frmEmail(ComplaintStage& stage, QWidget* parent) : QWidget(parent), m_stage(stage)
{
    setWindowTitle(QStringLiteral("Email"));
    setFont(QFont(QStringLiteral("Tahoma")));
    supAddress = new CaptionFrame(QStringLiteral("Complaint"), this);
    txtTo = new QLineEdit(supAddress);
    txtCopyTo = new QLineEdit(supAddress);
    txtSubject = new QLineEdit(supAddress);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Send complaint to:"), txtTo);
    form->addRow(QStringLiteral("Send copy to:"), txtCopyTo);
    form->addRow(QStringLiteral("Subject of email:"), txtSubject);
    supAddress->body()->addLayout(form);

    supBody = new CaptionFrame(QStringLiteral("Body"), this);
    txtBody = new QPlainTextEdit(supBody);
    txtBody->setLineWrapMode(QPlainTextEdit::NoWrap);
    hlnkSendMessage = layOutMailWindow(this, supAddress, supBody, txtBody);

    showFields();
    connect(&m_stage, &ComplaintStage::fieldsChanged, this, &frmEmail::showFields);
    connect(txtTo, &QLineEdit::textEdited, &m_stage, &ComplaintStage::setTxtTo);
    connect(txtCopyTo, &QLineEdit::textEdited, &m_stage, &ComplaintStage::setTxtCopyTo);
    connect(txtSubject, &QLineEdit::textEdited, &m_stage, &ComplaintStage::setTxtSubject);
    connect(txtBody, &QPlainTextEdit::textChanged, this,
            [this] { m_stage.setTxtBody(txtBody->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"))); });
    connect(hlnkSendMessage, &Hyperlink::clicked, &m_stage, &ComplaintStage::hlnkSendMessage_Click);
}

void frmEmail::showFields()
{
    showText(txtTo, m_stage.txtTo());
    showText(txtCopyTo, m_stage.txtCopyTo());
    showText(txtSubject, m_stage.txtSubject());
    // The stage keeps the exact body (CR LF line ends); the box shows lines.
    QString body = m_stage.txtBody();
    body.remove(QLatin1Char('\r'));
    if (txtBody->toPlainText() != body) {
        const QSignalBlocker block(txtBody);
        txtBody->setPlainText(body);
    }
}

} // namespace nw
