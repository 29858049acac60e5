#include "header/SourceWalk.h"

#include "errors/ErrorHandler.h"
#include "header/HostUtils.h"
#include "header/IpAddress.h"
#include "header/MessageIntake.h"
#include "header/OriginatingIP.h"
#include "header/ReceivedLines.h"
#include "header/Text.h"

#include <QRegularExpression>

#include <functional>

namespace nw {

namespace {

// One word of a received field, and the comment it stands in (0 outside comments; nested comments count
// as the comment around them).
struct Word {
    QStringView text;
    int comment = 0;
};

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

// The words of an unfolded field after "Received:" up to the first ";" outside comments; the text after
// that ";" goes to `date`.
QList<Word> splitWords(QStringView unfolded, QStringView* date)
{
    QList<Word> words;
    words.reserve(64);
    const qsizetype n = unfolded.size();
    int comments = 0;
    int depth = 0;
    for (qsizetype i = unfolded.indexOf(QLatin1Char(':')) + 1; i < n;) {
        const QChar c = unfolded.at(i);
        if (c == QLatin1Char('(')) {
            if (depth++ == 0)
                ++comments;
            ++i;
        } else if (c == QLatin1Char(')')) {
            depth = qMax(0, depth - 1);
            ++i;
        } else if (isBlank(c)) {
            ++i;
        } else if (c == QLatin1Char(';') && depth == 0) {
            *date = unfolded.mid(i + 1).trimmed();
            break;
        } else {
            const qsizetype start = i;
            while (i < n && !isBlank(unfolded.at(i)) && unfolded.at(i) != QLatin1Char('(') &&
                   unfolded.at(i) != QLatin1Char(')') && (unfolded.at(i) != QLatin1Char(';') || depth > 0))
                ++i;
            words.append({unfolded.mid(start, i - start), depth > 0 ? comments : 0});
        }
    }
    return words;
}

// The clauses of RFC 5321's trace line; `Other` stands for "via", "id" and "for", and for text before them.
enum Clause { NotKeyword = -1, Other, From, By, With };

// The clause a word opens, or NotKeyword.
Clause keyword(const Word& w)
{
    if (w.comment != 0 || w.text.size() > 4)
        return NotKeyword;
    static const std::pair<const char*, Clause> keywords[] = {{"from", From}, {"by", By},   {"with", With},
                                                              {"via", Other}, {"id", Other}, {"for", Other}};
    for (const auto& [word, clause] : keywords)
        if (w.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0)
            return clause;
    return NotKeyword;
}

QString hostName(QStringView word)
{
    while (word.endsWith(QLatin1Char('.')))
        word.chop(1);
    return word.toString().toLower();
}

// The index of the first address in the comments among `words`, passing over the greeting name ("helo=x",
// "HELO x", "EHLO x") that the client chose itself; -1 when there is none.
qsizetype commentAddress(const QList<Word>& words)
{
    for (qsizetype k = 0; k < words.size(); ++k) {
        const Word& w = words.at(k);
        if (w.comment == 0)
            continue;
        if (w.text.compare(QLatin1String("helo"), Qt::CaseInsensitive) == 0 ||
            w.text.compare(QLatin1String("ehlo"), Qt::CaseInsensitive) == 0) {
            ++k;
            continue;
        }
        if (!w.text.startsWith(QLatin1String("helo="), Qt::CaseInsensitive) && addressFromLiteral(w.text))
            return k;
    }
    return -1;
}

// The client's name as the recording host found it in the name service, or empty. Only that name counts:
// the greeting name is the client's own claim, and spam often greets with the recipient's host name.
// Postfix, Sendmail and the large providers write "(NAME [address])" ("unknown" when the look-up failed,
// "may be forged" when it did not confirm), Exim "from NAME ([address] helo=GREETING)" or, in an Exim line,
// "from NAME ([address])". Sendmail's "from GREETING ([address])", Exchange's "from GREETING (address)" and
// qmail's lines carry the greeting or an unconfirmed name.
QString reverseName(const QList<Word>& from, qsizetype at, const QString& fromName, bool exim)
{
    const Word& address = from.at(at);
    const auto greetingBeside = [&] {
        for (const Word& w : from)
            if (w.comment == address.comment && w.text.startsWith(QLatin1String("helo="), Qt::CaseInsensitive))
                return true;
        return false;
    };
    QStringView name;
    if (at > 0 && from.at(at - 1).comment == address.comment)
        name = from.at(at - 1).text;
    else if (address.text.startsWith(QLatin1Char('[')) && at > 0 && from.first().comment == 0 &&
             (exim || greetingBeside()))
        name = fromName;
    name = name.mid(name.lastIndexOf(QLatin1Char('@')) + 1);
    for (qsizetype k = at + 1; k < from.size() && from.at(k).comment == address.comment; ++k)
        if (from.at(k).text.compare(QLatin1String("forged"), Qt::CaseInsensitive) == 0)
            return QString();
    const QString host = hostName(name);
    return host == QLatin1String("unknown") || addressFromLiteral(host) ? QString() : host;
}

// Protocols of a hand-over inside the recipient's own system: delivery into the mailbox (LMTP), local
// pick-up and Exchange's own submission.
bool isInternalProtocol(const QString& protocol)
{
    return protocol.contains(QLatin1String("lmtp")) || protocol.startsWith(QLatin1String("local")) ||
           protocol == QLatin1String("mapi");
}

// A POP3 or IMAP fetch re-injected by a local forwarder (fetchmail, getmail, a provider's mail fetcher):
// the lines below it are the fetched mailbox's own. The protocol is the recording host's word, never the
// client's.
bool isFetch(const TraceHop& hop)
{
    return hop.protocol.startsWith(QLatin1String("pop")) || hop.protocol.startsWith(QLatin1String("imap"));
}

// Whether the client of `hop` belongs to the recipient's own system; `below` gives the next lower hop.
bool isOwnHop(const TraceHop& hop, const std::function<const TraceHop*()>& below, const OwnHosts& own)
{
    if (!hop.client || isFetch(hop) || isInternalProtocol(hop.protocol))
        return true;
    const QHostAddress& client = *hop.client;
    if (isSiteAddress(client) || own.containsAddress(client) || own.containsName(hop.clientName))
        return true;
    // A content filter handing the message back to the host it runs on.
    if ((hop.byAddress && *hop.byAddress == client) || (!hop.clientName.isEmpty() && hop.clientName == hop.byName))
        return true;
    // A relay inside the recording host's own network.
    if (hop.byAddress)
        return sameNetwork(client, *hop.byAddress);
    // Where the recording host wrote no address of its own (Exchange delivering to the mailbox), the client
    // is inside when the next lower line shows it receiving as such a relay: from its own network, at the
    // address it handed the message on from. The client's own line alone proves nothing: a sender's server
    // records its public address there too.
    const TraceHop* next = below();
    return next && next->byAddress && *next->byAddress == client && next->client &&
           sameNetwork(*next->client, client);
}

} // namespace

OwnHosts OwnHosts::parse(const QString& list, QStringList* bad)
{
    OwnHosts own;
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9_-]+(\\.[A-Za-z0-9_-]+)*\\.?$"));
    for (const QString& entry : list.split(separators, Qt::SkipEmptyParts)) {
        const auto prefix = QHostAddress::parseSubnet(entry);
        if (entry.contains(QLatin1Char('/')) && prefix.second >= 0) {
            own.m_prefixes.append(prefix);
        } else if (const auto address = addressFromLiteral(entry)) {
            own.m_prefixes.append({*address, address->protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128});
        } else if (!entry.contains(QLatin1Char('/')) && name.match(entry).hasMatch()) {
            own.m_names.append(hostName(entry));
        } else if (bad) {
            bad->append(entry);
        }
    }
    return own;
}

bool OwnHosts::containsAddress(const QHostAddress& address) const
{
    for (const auto& prefix : m_prefixes)
        if (address.isInSubnet(prefix))
            return true;
    return false;
}

bool OwnHosts::containsName(const QString& name) const
{
    const QString host = hostName(name);
    if (host.isEmpty())
        return false;
    for (const QString& own : m_names)
        if (host == own || host.endsWith(QLatin1Char('.') + own))
            return true;
    return false;
}

TraceHop parseTraceHop(const QString& field)
{
    TraceHop hop;
    hop.field = field;
    QString unfolded = field;
    unfolded.remove(QLatin1Char('\r'));
    unfolded.remove(QLatin1Char('\n'));
    QStringView date;
    const QList<Word> words = splitWords(unfolded, &date);
    hop.date = date.toString();

    // Each clause's words, up to the next keyword outside comments.
    QList<Word> clauses[4];
    Clause current = Other;
    for (const Word& w : words) {
        const Clause k = keyword(w);
        if (k == NotKeyword)
            clauses[current].append(w);
        else
            current = k;
    }
    const QList<Word>& from = clauses[From];
    const QList<Word>& by = clauses[By];

    if (!from.isEmpty() && from.first().comment == 0)
        hop.fromName = from.first().text.toString();
    if (const qsizetype at = commentAddress(from); at >= 0) {
        hop.client = addressFromLiteral(from.at(at).text);
        hop.clientName = reverseName(from, at, hop.fromName, field.contains(QLatin1String("(Exim ")));
    } else {
        // No address in the comments: one the client's own words carry ("from [192.0.2.1]", fetchmail's
        // "from host [192.0.2.1]", a web mail's "from 192.0.2.1").
        for (const Word& w : from)
            if (w.comment == 0 && (hop.client = addressFromLiteral(w.text)))
                break;
    }

    if (!by.isEmpty() && by.first().comment == 0)
        hop.byName = hostName(by.first().text);
    for (const Word& w : by.mid(hop.byName.isEmpty() ? 0 : 1))
        if ((hop.byAddress = addressFromLiteral(w.text)))
            break;
    if (!hop.byAddress)
        hop.byAddress = addressFromLiteral(hop.byName);
    if (!clauses[With].isEmpty() && clauses[With].first().comment == 0)
        hop.protocol = clauses[With].first().text.toString().toLower();
    return hop;
}

QStringList receivedFields(const QString& header)
{
    QStringList fields;
    QString current;
    bool inReceived = false;
    const auto finish = [&] {
        if (inReceived)
            fields.append(current);
        current.clear();
    };
    for (const QStringView line : QStringView(header).split(QLatin1Char('\n'))) {
        const QStringView content = line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line;
        if (content.isEmpty())
            break; // the body begins
        if (isBlank(content.front())) {
            if (inReceived) {
                current += text::CrLf();
                current += content;
            }
            continue;
        }
        finish();
        const qsizetype colon = content.indexOf(QLatin1Char(':'));
        inReceived = colon > 0 && content.first(colon).trimmed().compare(QLatin1String("Received"), Qt::CaseInsensitive) == 0;
        if (inReceived)
            current = content.toString();
    }
    finish();
    return fields;
}

QString SourceIP(Resolver& resolver, const QString& header, const OwnHosts& own, HeaderAnalysis& analysis)
{
    QString result;
    runGuarded("SourceIP", [&] {
        const QStringList fields = receivedFields(header);
        if (fields.isEmpty()) {
            result = QStringLiteral("0");
            return;
        }
        // Each field is taken apart once, when the walk reaches it.
        QList<std::optional<TraceHop>> hops(fields.size());
        const auto hopAt = [&](qsizetype i) -> const TraceHop* {
            if (i >= fields.size())
                return nullptr;
            if (!hops[i])
                hops[i] = parseTraceHop(fields.at(i));
            return &*hops[i];
        };
        for (qsizetype i = 0; i < fields.size(); ++i) {
            const TraceHop& hop = *hopAt(i);
            if (isOwnHop(hop, [&] { return hopAt(i + 1); }, own))
                continue;
            result = addressText(*hop.client);
            analysis.hostName = GetHostNameFromAddress(resolver, result);
            analysis.timeStamp = GetTimeStamp(QStringLiteral("; ") + hop.date);
            analysis.receivedLine = hop.field;
            return;
        }
    });
    return result;
}

bool analyzeMessage(Resolver& resolver, const QString& loadedHeader, const QString& path, const SourceRules& rules,
                    HeaderAnalysis& analysis)
{
    if (!rules.skipOwnHops)
        return analyzeHeader(resolver, loadedHeader, analysis);
    if (!IsFullHeader(loadedHeader))
        return false;
    QString header = LoadTraceHeader(path);
    if (receivedFields(header).isEmpty())
        header = loadedHeader; // the file went away or changed since it was loaded
    analysis.ip = SourceIP(resolver, header, rules.ownHosts, analysis);
    // The reverse name of the source was just looked up; a second look-up would give the same answer.
    if (!analysis.ip.isEmpty() && analysis.ip != QLatin1String("0"))
        analysis.ipHostName = analysis.hostName;
    return true;
}

} // namespace nw
