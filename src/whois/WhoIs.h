#pragma once

#include "platform/EndpointRouter.h"
#include "whois/WhoisTables.h"

#include <QObject>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>
#include <QVariant>

namespace nw {

// One WHOIS look-up at a time over TCP (RFC 3912: connect, send one query line, read the answer until
// the server closes). Writing `Address` selects the server from the tables; `Query` asks it, follows
// "Whois Server:" referrals, collects every answer in `Results` and reports through `Status`.
class WhoIs : public QObject {
    Q_OBJECT

public:
    // Loads both tables from the program folder. Connections go where `router` sends each server name.
    explicit WhoIs(EndpointRouter router = {}, QObject* parent = nullptr);
    ~WhoIs() override;

    // The three texts `Status` is raised with.
    static QString unmatchedText();
    static QString doneText();
    static QString connectionErrorText();

    // The host runs (true) or designs (false); the design-time setters below fail with error 382 while it runs.
    void setUserMode(bool running) { m_userMode = running; }

    int Port() const { return m_port; }
    void setPort(int port);
    QString CmdPrefix() const { return m_cmdPrefix; }
    void setCmdPrefix(const QString& value) { setDesignTime(m_cmdPrefix, value); }
    QString CmdSuffix() const { return m_cmdSuffix; }
    void setCmdSuffix(const QString& value) { setDesignTime(m_cmdSuffix, value); }
    QString Range() const { return m_range; }
    void setRange(const QString& value) { setDesignTime(m_range, value); }
    QString Mask() const { return m_mask; }
    void setMask(const QString& value) { setDesignTime(m_mask, value); }
    QString Description() const { return m_description; }
    void setDescription(const QString& value) { setDesignTime(m_description, value); }
    QString Handle() const { return m_handle; }
    void setHandle(const QString& value) { setDesignTime(m_handle, value); }
    QString Domain() const { return m_domain; }
    void setDomain(const QString& value) { setDesignTime(m_domain, value); }

    // Writable at any time.
    QString Server() const { return m_server; }
    void setServer(const QString& value) { m_server = value; }
    QString TLD() const { return m_tld; }
    void setTLD(const QString& value) { m_tld = value; }

    // The number 0 until the first `Query`, then the text of every answer since the last `Query`.
    QVariant Results() const { return m_queried ? QVariant(m_results) : QVariant(0); }

    QString Address() const { return m_address; }
    // A non-empty text selects the server: the range table for an address, the server table for a name.
    void setAddress(const QString& value);

    // Starts the look-up with the current `Server`, `Port` and `Domain`; returns at once.
    void Query();

    // The server that server selection would choose for `theQuery`, without changing any property
    // except `Domain` for a name; empty for an address no range holds.
    QString WhoisServer(const QString& theQuery);

    // Ends the look-up: the connection is closed and nothing more of it is reported.
    void stop();

    // Delays and bounds; tests shorten them.
    void setReferralDelay(int ms) { m_timWhoIs.setInterval(ms); }
    // A server that sends nothing for this long (connecting included) ends the look-up with "Connection Error".
    void setAnswerTimeout(int ms) { m_answerTimer.setInterval(ms); }
    // `Results` never grows beyond this many characters; reaching it ends the look-up.
    void setAnswerCap(qsizetype chars) { m_answerCap = chars; }
    // One look-up asks at most this many servers and lasts at most this long, referrals included; then what
    // it has is evaluated ("Done").
    void setMaxServers(int servers) { m_maxServers = servers; }
    void setLookUpBound(int ms) { m_lookUpTimer.setInterval(ms); }

    // Takes one piece of the server's answer as it was read from the connection (Latin-1), with the
    // answer's bound, the referral and the end of the look-up judged on it.
    void onChunk(const QString& chunk);

signals:
    void Status(const QString& text);
    // `Results` grew (what the results box shows).
    void resultsChanged(const QString& results);
    // A connection to `server` starts (the look-up's first server and every referral).
    void serverAsked(const QString& server, int port);

private:
    void requireDesignMode() const;
    void setDesignTime(QString& member, const QString& value);
    void connectToServer();
    void onConnected();
    void onReadyRead();
    void onSocketError(QAbstractSocket::SocketError error);
    void onClosed();
    void fail();
    void finishWithWhatIsIn();

    EndpointRouter m_router;
    WhoisTables m_tables;
    QTcpSocket m_winsock;
    QTimer m_timWhoIs;
    QTimer m_answerTimer;
    QTimer m_lookUpTimer;
    qsizetype m_answerCap = 1024 * 1024;
    int m_maxServers = 10;
    bool m_userMode = true;

    QString m_domain = QStringLiteral("0");
    QString m_tld = QStringLiteral("0");
    QString m_results;
    bool m_queried = false; // `Results` is text from the first `Query` on
    QString m_description = QStringLiteral("0");
    QString m_handle = QStringLiteral("0");
    QString m_address = QStringLiteral("0");
    int m_port = 0;
    QString m_server = QStringLiteral("0");
    QString m_cmdPrefix = QStringLiteral("0");
    QString m_cmdSuffix = QStringLiteral("0");
    QString m_range = QStringLiteral("0");
    QString m_mask = QStringLiteral("0");

    QStringList m_asked;  // servers this look-up has connected to
    int m_connection = 0; // counts connections, so handlers can tell a stale event
};

} // namespace nw
