#pragma once

#include "mail/SMTP.h"

#include <QObject>

namespace nw {

class AppState;

// The contact window without its widgets: a message to the vendor's support mailbox from the user's
// address, through the user's server. It never sends on its own.
class ContactStage : public QObject {
    Q_OBJECT

public:
    explicit ContactStage(AppState& state, QObject* parent = nullptr);

    QString txtSubject;
    QString txtBody;
    SMTP smtp;

    void hlnkSendMessage_Click();

signals:
    void fieldsChanged();

private:
    AppState& m_state;
};

} // namespace nw
