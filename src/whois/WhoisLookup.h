#pragma once

#include <QString>
#include <QStringList>

namespace nw {

class WhoIs;

// One look-up from address to abuse mailbox without a window, ended the way the WHOIS window ends it:
// the answer is evaluated once the evaluation delay has passed after the last "Done".
class WhoisLookup {
public:
    enum class Result { Chosen, NoneChosen, Failed };
    struct Outcome {
        Result result = Result::Failed;
        QString message;     // why it failed, or why no address was chosen
        QStringList chain;   // "SERVER:PORT" of every server asked, in order
        QString results;     // `Results` at the evaluation
        QString addressList; // the unique addresses in the answers, each followed by CR LF
        QString address;     // the one a complaint goes to
    };

    explicit WhoisLookup(WhoIs& whois) : m_whois(whois) {}

    void setEvaluationDelay(int ms) { m_evaluationDelay = ms; }
    // The whole look-up, referrals included, ends as failed after this long.
    void setLimit(int ms) { m_limit = ms; }

    Outcome run(const QString& addressOrName);

private:
    WhoIs& m_whois;
    int m_evaluationDelay = 5000;
    int m_limit = 300000;
};

} // namespace nw
