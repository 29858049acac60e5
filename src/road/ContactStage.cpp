#include "road/ContactStage.h"

#include "app/AppState.h"
#include "errors/ErrorHandler.h"
#include "header/AddressList.h"
#include "platform/AppInfo.h"
#include "platform/Connection.h"
#include "platform/Prompts.h"
#include "road/ComplaintStage.h"

#include <QCoreApplication>

namespace nw {

ContactStage::ContactStage(AppState& state, QObject* parent) : QObject(parent), m_state(state) {}

void ContactStage::hlnkSendMessage_Click()
{
    runGuarded("hlnkSendMessage_Click", [&] {
        if (!IsConnected())
            msgBox(noConnectionText());
        if (m_state.smtpServer.isEmpty()) {
            msgBox(ComplaintStage::noServerText());
            return;
        }
        if (!IsValidEmailAddress(m_state.userAddress)) {
            msgBox(ComplaintStage::badUserAddressText());
            return;
        }
        m_state.setWaitPointer(true);
        QCoreApplication::processEvents();
        setSmtpServer(smtp, m_state.smtpServer);
        smtp.setSecurity(m_state.smtpSecurity);
        // The client fills the header names from the addresses when they are empty; last send's must not stay.
        smtp.NameFrom.clear();
        smtp.NameTo.clear();
        smtp.MailTo = supportMailbox();
        smtp.MailFrom = m_state.userAddress;
        smtp.Subject = txtSubject;
        smtp.Body = txtBody;
        smtp.SendMail();
        QCoreApplication::processEvents();
        txtSubject.clear();
        txtBody.clear();
        emit fieldsChanged();
        QCoreApplication::processEvents();
        m_state.setWaitPointer(false);
    });
}

} // namespace nw
