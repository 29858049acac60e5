#include "mail/frmContact.h"

#include "controls/CaptionFrame.h"
#include "controls/Hyperlink.h"
#include "mail/frmEmail.h"
#include "road/ContactStage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace nw {

frmContact::frmContact(ContactStage& stage, QWidget* parent) : QWidget(parent), m_stage(stage)
{
    setWindowTitle(QStringLiteral("Contact Nettlewright Support"));
    setFont(QFont(QStringLiteral("Tahoma")));
    supAddress = new CaptionFrame(QStringLiteral("Contact"), this);
    auto* intro = new QLabel(QStringLiteral("Use this form to contact Nettlewright support.  Feel free to share your "
                                            "comments, concerns, questions or bug reports with our technical support "
                                            "or developer staff."),
                             supAddress);
    intro->setWordWrap(true);
    txtSubject = new QLineEdit(supAddress);
    supAddress->body()->addWidget(intro);
    supAddress->body()->addWidget(new QLabel(QStringLiteral("Subject of email to Nettlewright Support:"), supAddress));
    supAddress->body()->addWidget(txtSubject);

    supBody = new CaptionFrame(QStringLiteral("Message Body"), this);
    txtBody = new QPlainTextEdit(supBody);
    hlnkSendMessage = layOutMailWindow(this, supAddress, supBody, txtBody);

    connect(txtSubject, &QLineEdit::textEdited, this, [this](const QString& text) { m_stage.txtSubject = text; });
    connect(txtBody, &QPlainTextEdit::textChanged, this,
            [this] { m_stage.txtBody = txtBody->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")); });
    connect(hlnkSendMessage, &Hyperlink::clicked, &m_stage, &ContactStage::hlnkSendMessage_Click);
    connect(&m_stage, &ContactStage::fieldsChanged, this, [this] {
        txtSubject->setText(m_stage.txtSubject);
        txtBody->setPlainText(m_stage.txtBody);
    });
}

} // namespace nw
