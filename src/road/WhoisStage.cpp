#include "road/WhoisStage.h"

#include "app/AppState.h"
#include "errors/ErrorHandler.h"
#include "header/AddressList.h"
#include "header/HostUtils.h"
#include "platform/Connection.h"
#include "platform/Prompts.h"
#include "platform/VendorService.h"

#include <QCoreApplication>

namespace nw {

namespace {
constexpr int kEvaluationDelayMs = 5000;
const QString kNoServer = QStringLiteral("no WHOIS server is known for the address");
const QString kUnmatched = QStringLiteral("no registry holds the address");
const QString kUnreachable = QStringLiteral("the WHOIS server could not be reached");
const QString kNoMailbox = QStringLiteral("no abuse mailbox in the answers");
} // namespace

WhoisStage::WhoisStage(AppState& state, SettingsStore& store, EndpointRouter router, QObject* parent)
    : QObject(parent), Whois1(std::move(router)), m_state(state), m_store(store)
{
    tmrWhois.setInterval(kEvaluationDelayMs);
    connect(&tmrWhois, &QTimer::timeout, this, &WhoisStage::tmrWhois_Timer);
    connect(&Whois1, &WhoIs::Status, this, &WhoisStage::Whois1_Status);
}

QString WhoisStage::initialServer()
{
    return QStringLiteral("whois.arin.net");
}

void WhoisStage::setText1(const QString& text)
{
    m_text1 = text;
    emit fieldsChanged();
}

void WhoisStage::setText2(const QString& text)
{
    m_text2 = text;
    emit fieldsChanged();
}

void WhoisStage::setTxtEmailList(const QString& list)
{
    m_emailList = list;
    emit fieldsChanged();
    txtEmailList_Change();
}

void WhoisStage::sendStatistics(const QString& key)
{
    inetWhoisError.fetch(VendorService::statisticsUrl(m_store, key, m_text1));
}

void WhoisStage::Command1_Click()
{
    m_forMessage = false;
    emit typedLookUp();
    lookUp();
}

void WhoisStage::lookUpMessage(const QString& address)
{
    m_forMessage = true;
    setText1(address);
    lookUp();
}

void WhoisStage::end(const Outcome& outcome)
{
    m_state.setBusyProcessing(false);
    if (m_forMessage) {
        m_forMessage = false;
        emit ended(outcome);
    }
}

void WhoisStage::lookUp()
{
    runGuarded("Command1_Click", [&] {
        m_awaitingAnswer = true;
        if (!IsConnected())
            tellUser(m_state, noConnectionText());
        // Writing the address selects the server; an address no range holds reports itself through Status.
        Whois1.setAddress(m_text1);
        setText2(Whois1.Server());
        if (m_text2 != QLatin1String("0")) {
            // No server was selected and the failure has been reported: there is nobody to ask.
            if (m_text2.isEmpty())
                return;
            QCoreApplication::processEvents();
            Whois1.Query();
            QCoreApplication::processEvents();
            return;
        }
        m_awaitingAnswer = false;
        sendStatistics(QStringLiteral("IP1"));
        end(Outcome::nothingToReport(kNoServer));
    });
}

void WhoisStage::Whois1_Status(const QString& msg)
{
    m_status = msg;
    emit fieldsChanged();
    QCoreApplication::processEvents();
    // Once its answer is judged or given up, a look-up has nothing more to say. This handler nests under a
    // stream of chunks, so that may have happened while events ran just now.
    if (!m_awaitingAnswer)
        return;
    if (msg.toLower() == QLatin1String("done")) {
        // The chunks of one answer that arrive within the delay lead to one evaluation.
        if (!tmrWhois.isActive())
            tmrWhois.start();
        m_state.setWaitPointer(true);
        return;
    }
    m_awaitingAnswer = false;
    tmrWhois.stop();
    sendStatistics(QStringLiteral("IP1"));
    // An address no registry holds is for good; a server that cannot be reached now may answer later.
    if (msg == WhoIs::unmatchedText() && m_state.monitorActive())
        end(Outcome::nothingToReport(kUnmatched));
    else
        end(Outcome::kept(msg == WhoIs::unmatchedText() ? kUnmatched : kUnreachable));
    QCoreApplication::processEvents();
}

void WhoisStage::tmrWhois_Timer()
{
    runGuarded("tmrWhois_Timer", [&] {
        QCoreApplication::processEvents();
        tmrWhois.stop();
        // The connection broke while the delay ran: that failure has ended the message already.
        if (!m_awaitingAnswer)
            return;
        m_awaitingAnswer = false;
        // Judged: whatever the server still sends (an answer without end) would be judged again later, and
        // with it the next message's look-up.
        Whois1.stop();
        const QString list = GetEmailListFromText(Whois1.Results().toString(), true);
        if (!list.isEmpty()) {
            setTxtEmailList(list);
        } else if (!m_state.headerAnalysis.ipHostName.isEmpty() && !m_hostNameTried) {
            m_hostNameTried = true;
            setText1(m_state.headerAnalysis.ipHostName);
            lookUp();
            QCoreApplication::processEvents();
        } else {
            sendStatistics(QStringLiteral("IP2"));
            end(Outcome::nothingToReport(kNoMailbox));
        }
    });
    // Also after a failure: the pointer must not stay an hourglass.
    m_state.setWaitPointer(false);
}

void WhoisStage::txtEmailList_Change()
{
    if (m_emailList.isEmpty())
        return;
    const QString address = PickAbuseAddress(m_emailList);
    if (!address.isEmpty()) {
        emit addressChosen(address);
        return;
    }
    if (!m_state.monitorActive()) {
        end(Outcome::kept(kNoMailbox));
        return;
    }
    sendStatistics(QStringLiteral("IP2"));
    end(Outcome::nothingToReport(kNoMailbox));
    QCoreApplication::processEvents();
}

} // namespace nw
