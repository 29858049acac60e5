#include "whois/WhoIs.h"

#include "errors/RuntimeError.h"
#include "header/Text.h"

#include <QSignalBlocker>

namespace nw {

using namespace nw::text;

namespace {
// Servers of the InterNIC are asked for "domain NAME" so that name servers of that name do not answer too.
constexpr QLatin1String kInternicDomain("internic.net");
// Upper-cased, as the answer is searched.
constexpr QLatin1String kReferralKey("WHOIS SERVER:");

// The referred name: the text after the key without its leading spaces, up to the first space or control character.
QString referredName(const QString& afterKey)
{
    qsizetype start = 0;
    while (start < afterKey.size() && afterKey.at(start) == QLatin1Char(' '))
        ++start;
    qsizetype end = start;
    while (end < afterKey.size() && afterKey.at(end) > QLatin1Char(' '))
        ++end;
    return afterKey.mid(start, end - start);
}
} // namespace

QString WhoIs::unmatchedText()
{
    return QStringLiteral("Unable to determine registry for this IP!");
}
QString WhoIs::doneText()
{
    return QStringLiteral("Done");
}
QString WhoIs::connectionErrorText()
{
    return QStringLiteral("Connection Error");
}

WhoIs::WhoIs(EndpointRouter router, QObject* parent) : QObject(parent), m_router(std::move(router))
{
    m_tables.LoadRirTable();
    m_tables.LoadTldTable();

    m_timWhoIs.setSingleShot(true);
    m_timWhoIs.setInterval(500);
    m_answerTimer.setSingleShot(true);
    m_answerTimer.setInterval(30000);
    connect(&m_timWhoIs, &QTimer::timeout, this, &WhoIs::connectToServer);
    connect(&m_answerTimer, &QTimer::timeout, this, &WhoIs::fail);
    m_lookUpTimer.setSingleShot(true);
    m_lookUpTimer.setInterval(120000);
    connect(&m_lookUpTimer, &QTimer::timeout, this, &WhoIs::finishWithWhatIsIn);
    connect(&m_winsock, &QTcpSocket::connected, this, &WhoIs::onConnected);
    connect(&m_winsock, &QTcpSocket::readyRead, this, &WhoIs::onReadyRead);
    connect(&m_winsock, &QTcpSocket::errorOccurred, this, &WhoIs::onSocketError);
    connect(&m_winsock, &QTcpSocket::disconnected, this, &WhoIs::onClosed);
}

WhoIs::~WhoIs()
{
    stop();
}

void WhoIs::requireDesignMode() const
{
    if (m_userMode)
        throw RuntimeError(382);
}

void WhoIs::setDesignTime(QString& member, const QString& value)
{
    requireDesignMode();
    member = value;
}

void WhoIs::setPort(int port)
{
    requireDesignMode();
    if (port < 0 || port > 65535)
        throw RuntimeError(380);
    m_port = port;
}

void WhoIs::setAddress(const QString& value)
{
    m_address = value;
    if (value.isEmpty())
        return;
    int index = -1;
    if (!IsDottedQuad(value)) {
        index = m_tables.FindTldEntry(value, &m_domain);
        if (index >= 0) {
            const TldEntry& e = m_tables.tldTable().at(index);
            m_server = e.server;
            m_port = e.port;
            m_description = e.description;
            m_cmdPrefix = e.cmdPrefix;
            m_cmdSuffix = e.cmdSuffix;
            m_handle = e.handle;
            m_tld = e.pattern;
        }
    } else {
        index = m_tables.FindRirEntry(value);
        if (index >= 0) {
            const RirEntry& e = m_tables.rirTable().at(index);
            m_cmdPrefix = e.cmdPrefix;
            m_cmdSuffix = e.cmdSuffix;
            m_mask = QString::number(qint32(e.mask));
            m_port = e.port;
            m_range = e.range;
            m_server = e.server;
            m_domain = value;
        }
    }
    if (index < 0) {
        emit Status(unmatchedText());
        m_cmdPrefix.clear();
        m_cmdSuffix.clear();
        m_mask.clear();
        m_range.clear();
        m_server.clear();
        m_domain.clear();
        m_port = 0;
    }
}

QString WhoIs::WhoisServer(const QString& theQuery)
{
    if (IsDottedQuad(theQuery)) {
        const int index = m_tables.FindRirEntry(theQuery);
        return index >= 0 ? m_tables.rirTable().at(index).server : QString();
    }
    const int index = m_tables.FindTldEntry(theQuery, &m_domain);
    return index >= 0 ? m_tables.tldTable().at(index).server : QString();
}

void WhoIs::Query()
{
    // A referral still pending from an earlier look-up must not take over this one.
    m_timWhoIs.stop();
    m_queried = true;
    m_results.clear();
    emit resultsChanged(m_results);
    m_asked.clear();
    m_lookUpTimer.start();
    connectToServer();
}

void WhoIs::stop()
{
    m_timWhoIs.stop();
    m_answerTimer.stop();
    m_lookUpTimer.stop();
    // Our own closing is no event of the look-up.
    const QSignalBlocker quiet(m_winsock);
    m_winsock.abort();
}

void WhoIs::connectToServer()
{
    // The look-up's own bound runs on across its referrals.
    m_timWhoIs.stop();
    m_answerTimer.stop();
    {
        const QSignalBlocker quiet(m_winsock);
        m_winsock.abort();
    }
    ++m_connection;
    m_asked.append(m_server);
    const auto endpoint = m_router.endpointFor(m_server, quint16(m_port));
    m_answerTimer.start();
    emit serverAsked(m_server, m_port);
    m_winsock.connectToHost(endpoint.host, endpoint.port);
}

void WhoIs::onConnected()
{
    QString line = m_domain;
    if (InStr(LCase(m_server), kInternicDomain) > 0)
        line = QStringLiteral("domain ") + m_domain;
    else if (UCase(Right(m_domain, 3)) == QLatin1String(".JP"))
        line = m_domain + QStringLiteral(" /e");
    m_winsock.write((line + CrLf()).toLatin1());
}

void WhoIs::onReadyRead()
{
    onChunk(QString::fromLatin1(m_winsock.readAll()));
}

void WhoIs::onChunk(const QString& received)
{
    if (received.isEmpty())
        return;
    if (m_answerTimer.isActive())
        m_answerTimer.start(); // the bound is on silence, not on the length of an answer

    QString chunk = received;
    chunk.replace(QLatin1String("\n"), CrLf());
    if (m_results.size() + chunk.size() > m_answerCap) {
        // An answer this large is no WHOIS record: keep what fits and let the host evaluate that.
        m_results += chunk.left(m_answerCap - m_results.size());
        emit resultsChanged(m_results);
        stop();
        emit Status(doneText());
        return;
    }
    m_results += chunk;
    emit resultsChanged(m_results);

    chunk = TrimSpaces(chunk);
    if (chunk.isEmpty())
        return;
    const int at = InStr(UCase(chunk), kReferralKey);
    if (at == 0) {
        m_answerTimer.stop();
        m_lookUpTimer.stop();
        emit Status(doneText());
        return;
    }

    const QString name = referredName(chunk.mid(at - 1 + kReferralKey.size()));
    m_port = 43;
    for (const TldEntry& e : m_tables.tldTable())
        if (e.server.compare(name, Qt::CaseInsensitive) == 0) {
            m_port = e.port;
            break;
        }
    // A server naming itself (registrars' own answers do), one already asked, or one more than a look-up may
    // ask ends the chain: the answers are all in, and the host needs its "Done" to evaluate them.
    if (m_asked.contains(name, Qt::CaseInsensitive) || m_asked.size() >= m_maxServers) {
        m_answerTimer.stop();
        m_lookUpTimer.stop();
        emit Status(doneText());
        return;
    }
    m_answerTimer.stop();
    // The first referral of an answer is followed; the line repeated does not put the next connection off.
    if (m_timWhoIs.isActive())
        return;
    m_server = name;
    m_timWhoIs.start();
}

void WhoIs::finishWithWhatIsIn()
{
    // With no answer at all the look-up failed as a silent server's does.
    if (m_results.isEmpty()) {
        fail();
        return;
    }
    stop();
    emit Status(doneText());
}

void WhoIs::onSocketError(QAbstractSocket::SocketError error)
{
    // The server closing the connection is the normal end of an answer, handled in onClosed.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    fail();
}

void WhoIs::onClosed()
{
    const int connection = m_connection;
    if (m_winsock.bytesAvailable() > 0)
        onReadyRead();
    if (connection != m_connection)
        return; // the host started another look-up meanwhile
    // Closed before anything that counts as an answer and with no referral to follow: nothing more can come.
    if (m_answerTimer.isActive())
        fail();
}

void WhoIs::fail()
{
    stop();
    emit Status(connectionErrorText());
}

} // namespace nw
