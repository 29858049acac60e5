#include "mail/SendMail.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace nw {

SendMail::SendMail(QWidget* parent, const QString& settingsApplication)
    : QWidget(parent), txtTo(new QLineEdit(this)), txtFrom(new QLineEdit(this)), txtCC(new QLineEdit(this)),
      txtBCC(new QLineEdit(this)), txtSubject(new QLineEdit(this)), txtMessage(new QPlainTextEdit(this)),
      cmdSend(new QPushButton(QStringLiteral("&Send"), this)), lblStatus(new QLabel(this)),
      m_composer(nullptr, settingsApplication)
{
    lblStatus->setTextFormat(Qt::PlainText); // statuses quote the server's replies
    auto* grid = new QGridLayout(this);
    int row = 0;
    for (const auto& [caption, field] : {std::pair{"To:", txtTo}, std::pair{"From:", txtFrom}, std::pair{"CC:", txtCC},
                                         std::pair{"BCC:", txtBCC}, std::pair{"Subject:", txtSubject}}) {
        auto* label = new QLabel(QString::fromLatin1(caption), this);
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
        ++row;
    }
    grid->addWidget(cmdSend, 0, 2);
    grid->addWidget(txtMessage, row++, 0, 1, 3);
    grid->addWidget(lblStatus, row, 0, 1, 3);
    grid->setRowStretch(row - 1, 1);

    connect(cmdSend, &QPushButton::clicked, this, &SendMail::cmdSend_Click);
    connect(&m_composer, &MailComposer::fieldsChanged, this, &SendMail::showFields);
    connect(&m_composer, &MailComposer::statusChanged, lblStatus, &QLabel::setText);
    showFields();
}

void SendMail::showFields()
{
    txtTo->setText(m_composer.txtTo);
    txtFrom->setText(m_composer.txtFrom);
    txtCC->setText(m_composer.txtCC);
    txtBCC->setText(m_composer.txtBCC);
    txtSubject->setText(m_composer.txtSubject);
    const QString message = QString(m_composer.txtMessage).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (txtMessage->toPlainText() != message)
        txtMessage->setPlainText(message);
}

void SendMail::cmdSend_Click()
{
    m_composer.txtTo = txtTo->text();
    m_composer.txtFrom = txtFrom->text();
    m_composer.txtCC = txtCC->text();
    m_composer.txtBCC = txtBCC->text();
    m_composer.txtSubject = txtSubject->text();
    // The control sends CR LF line ends; the editor keeps LF.
    m_composer.txtMessage = txtMessage->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    m_composer.cmdSend_Click();
    showFields();
}

} // namespace nw
