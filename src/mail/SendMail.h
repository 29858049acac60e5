#pragma once

#include "mail/MailComposer.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace nw {

// The mail composition control: To, From, CC, BCC, subject and message fields, a Send button and a
// status line. The checks and the send live in MailComposer; this shows its fields and forwards the click.
class SendMail : public QWidget {
    Q_OBJECT

public:
    explicit SendMail(QWidget* parent = nullptr, const QString& settingsApplication = QString());

    MailComposer& composer() { return m_composer; }

    QLineEdit* txtTo;
    QLineEdit* txtFrom;
    QLineEdit* txtCC;
    QLineEdit* txtBCC;
    QLineEdit* txtSubject;
    QPlainTextEdit* txtMessage;
    QPushButton* cmdSend;
    QLabel* lblStatus;

public slots:
    void cmdSend_Click();

private:
    void showFields();

    MailComposer m_composer;
};

} // namespace nw
