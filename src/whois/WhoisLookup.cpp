#include "whois/WhoisLookup.h"

#include "header/AddressList.h"
#include "platform/LocalWait.h"
#include "whois/WhoIs.h"

#include <QTimer>

namespace nw {

WhoisLookup::Outcome WhoisLookup::run(const QString& addressOrName)
{
    Outcome outcome;
    QObject context; // ends every connection made here when the look-up returns
    QTimer evaluation;
    evaluation.setSingleShot(true);
    evaluation.setInterval(m_evaluationDelay);
    bool finished = false;
    LocalWait wait([&] { return finished; });

    const auto failWith = [&](const QString& message) {
        outcome.result = Result::Failed;
        outcome.message = message;
        finished = true;
        wait.wake();
    };
    QObject::connect(&m_whois, &WhoIs::serverAsked, &context, [&](const QString& server, int port) {
        outcome.chain << QStringLiteral("%1:%2").arg(server).arg(port);
    });
    QObject::connect(&m_whois, &WhoIs::Status, &context, [&](const QString& text) {
        if (finished)
            return;
        if (text == WhoIs::doneText())
            evaluation.start(); // every "Done" puts the evaluation off again
        else
            failWith(text);
    });
    QObject::connect(&evaluation, &QTimer::timeout, &context, [&] {
        outcome.results = m_whois.Results().toString();
        outcome.addressList = GetEmailListFromText(outcome.results, true);
        outcome.address = outcome.addressList.isEmpty() ? QString() : PickAbuseAddress(outcome.addressList);
        if (!outcome.address.isEmpty())
            outcome.result = Result::Chosen;
        else {
            outcome.result = Result::NoneChosen;
            outcome.message = outcome.addressList.isEmpty()
                                  ? QStringLiteral("the answers hold no e-mail address")
                                  : QStringLiteral("no address in the answers suits a complaint");
        }
        finished = true;
        wait.wake();
    });

    m_whois.setAddress(addressOrName);
    if (finished)
        return outcome; // no server for it
    if (m_whois.Server().isEmpty() || m_whois.Server() == QLatin1String("0")) {
        failWith(QStringLiteral("no WHOIS server is known for %1").arg(addressOrName));
        return outcome;
    }
    m_whois.Query();
    if (!wait.run(m_limit))
        failWith(QStringLiteral("the look-up did not finish within %1 ms").arg(m_limit));
    if (outcome.result == Result::Failed)
        outcome.results = m_whois.Results().toString(); // what arrived before the failure
    return outcome;
}

} // namespace nw
