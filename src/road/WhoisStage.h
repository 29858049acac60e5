#pragma once

#include "platform/EndpointRouter.h"
#include "platform/HttpTransfer.h"
#include "road/Outcome.h"
#include "whois/WhoIs.h"

#include <QObject>
#include <QTimer>

namespace nw {

class AppState;
class SettingsStore;

// The WHOIS window without its widgets: looks up the address in `Text1`, evaluates the answer once the
// evaluation delay has passed after "Done", retries once with the message's host name, and hands the chosen
// abuse address on. Failures are reported to the statistics service; a look-up made for a message ends that
// message with an outcome, one typed by hand never does.
class WhoisStage : public QObject {
    Q_OBJECT

public:
    WhoisStage(AppState& state, SettingsStore& store, EndpointRouter router = {}, QObject* parent = nullptr);

    QString Text1() const { return m_text1; }
    void setText1(const QString& text);
    QString Text2() const { return m_text2; }
    QString txtEmailList() const { return m_emailList; }
    // Runs the list-change handler, as a change of the window's list does.
    void setTxtEmailList(const QString& list);
    QString lblstatus() const { return m_status; }

    WhoIs Whois1;
    // The delay between "Done" and the evaluation of the answer; tests shorten it.
    QTimer tmrWhois;
    HttpTransfer inetWhoisError;

    // A look-up typed by hand.
    void Command1_Click();
    void hlnkWhois_Click() { Command1_Click(); }
    // The look-up of a message's originating address.
    void lookUpMessage(const QString& address);
    void Whois1_Status(const QString& msg);
    void tmrWhois_Timer();
    // A new message: the look-up by host name may be made once more.
    void newMessage() { m_hostNameTried = false; }

    // What the window shows first.
    static QString initialServer();

signals:
    void fieldsChanged();
    // A look-up typed by hand starts.
    void typedLookUp();
    // The abuse address chosen from the answers.
    void addressChosen(const QString& address);
    // The message the look-up was made for ends here.
    void ended(const Outcome& outcome);

private:
    void lookUp();
    void end(const Outcome& outcome);
    void txtEmailList_Change();
    void sendStatistics(const QString& key);
    void setText2(const QString& text);

    AppState& m_state;
    SettingsStore& m_store;
    QString m_text1 = QStringLiteral("127.0.0.1");
    QString m_text2 = initialServer();
    QString m_emailList = QStringLiteral("EmailList");
    QString m_status = QStringLiteral("IP");
    bool m_hostNameTried = false;
    // The look-up belongs to a message (not typed by hand).
    bool m_forMessage = false;
    // A look-up has started and its answer has not been judged or given up yet.
    bool m_awaitingAnswer = false;
};

} // namespace nw
