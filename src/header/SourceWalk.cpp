#include "header/SourceWalk.h"

#include "errors/ErrorHandler.h"
#include "header/HostUtils.h"
#include "header/IpAddress.h"
#include "header/MessageIntake.h"
#include "header/OriginatingIP.h"
#include "header/ReceivedLines.h"
#include "header/Text.h"

#include <QRegularExpression>

namespace nw {

namespace {

// A piece of a received field: a word, or a comment with its nested comments flattened into words.
struct Token {
    bool comment = false;
    QStringList words;
};

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

// The field's content after "Received:", unfolded, as tokens up to the first ";" outside comments; the
// text after that ";" goes to `date`.
QList<Token> tokenize(const QString& unfolded, QString* date)
{
    QList<Token> tokens;
    const qsizetype n = unfolded.size();
    qsizetype i = unfolded.indexOf(QLatin1Char(':')) + 1;
    while (i < n) {
        const QChar c = unfolded.at(i);
        if (isBlank(c)) {
            ++i;
        } else if (c == QLatin1Char(';')) {
            *date = unfolded.mid(i + 1).trimmed();
            break;
        } else if (c == QLatin1Char('(')) {
            // A comment runs to its matching parenthesis, or to the end of an unbalanced field.
            int depth = 0;
            QString inner;
            for (; i < n; ++i) {
                const QChar d = unfolded.at(i);
                if (d == QLatin1Char('('))
                    ++depth;
                else if (d == QLatin1Char(')'))
                    --depth;
                if (depth == 0)
                    break;
                inner += d == QLatin1Char('(') || d == QLatin1Char(')') ? QLatin1Char(' ') : d;
            }
            ++i;
            tokens.append({true, inner.split(QLatin1Char(' '), Qt::SkipEmptyParts)});
        } else {
            const qsizetype start = i;
            while (i < n && !isBlank(unfolded.at(i)) && unfolded.at(i) != QLatin1Char('(') &&
                   unfolded.at(i) != QLatin1Char(';'))
                ++i;
            tokens.append({false, {unfolded.mid(start, i - start)}});
        }
    }
    return tokens;
}

bool isKeyword(const Token& t, const char* word)
{
    return !t.comment && t.words.first().compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

// The tokens of one clause: those after its keyword up to the next keyword.
QList<Token> clause(const QList<Token>& tokens, const char* keyword)
{
    static const char* const keywords[] = {"from", "by", "via", "with", "id", "for"};
    QList<Token> result;
    bool inside = false;
    for (const Token& t : tokens) {
        bool other = false;
        for (const char* k : keywords)
            other = other || isKeyword(t, k);
        if (other) {
            if (inside)
                break;
            inside = isKeyword(t, keyword);
            continue;
        }
        if (inside)
            result.append(t);
    }
    return result;
}

QString hostName(QString word)
{
    while (word.endsWith(QLatin1Char('.')))
        word.chop(1);
    return word.toLower();
}

// The first address among the words of a comment, passing over the greeting name ("helo=x", "HELO x",
// "EHLO x") that the client chose itself. `before` gets the word in front of the address.
std::optional<QHostAddress> commentAddress(const QStringList& words, QString* before)
{
    for (qsizetype k = 0; k < words.size(); ++k) {
        const QString& w = words.at(k);
        if (w.compare(QLatin1String("helo"), Qt::CaseInsensitive) == 0 ||
            w.compare(QLatin1String("ehlo"), Qt::CaseInsensitive) == 0) {
            ++k;
            continue;
        }
        if (w.startsWith(QLatin1String("helo="), Qt::CaseInsensitive))
            continue;
        if (const auto address = addressFromLiteral(w)) {
            *before = k > 0 ? words.at(k - 1) : QString();
            return address;
        }
    }
    return std::nullopt;
}

// Protocols of a hand-over inside the recipient's own system: delivery into the mailbox (LMTP), local
// pick-up and Exchange's own submission.
bool isInternalProtocol(const QString& protocol)
{
    return protocol.contains(QLatin1String("lmtp")) || protocol.startsWith(QLatin1String("local")) ||
           protocol == QLatin1String("mapi");
}

// A POP3 or IMAP fetch re-injected by a local forwarder: the lines below it are the fetched mailbox's own.
bool isFetch(const TraceHop& hop)
{
    return hop.protocol.startsWith(QLatin1String("pop")) || hop.protocol.startsWith(QLatin1String("imap")) ||
           hop.field.contains(QLatin1String("fetchmail"), Qt::CaseInsensitive) ||
           hop.field.contains(QLatin1String("getmail"), Qt::CaseInsensitive);
}

// Whether the client of `hop` belongs to the recipient's own system; `below` is the next lower hop.
bool isOwnHop(const TraceHop& hop, const TraceHop* below, const OwnHosts& own)
{
    if (!hop.client || isFetch(hop) || isInternalProtocol(hop.protocol))
        return true;
    const QHostAddress& client = *hop.client;
    if (isSiteAddress(client) || own.containsAddress(client) || own.containsName(hop.clientName))
        return true;
    // A content filter handing the message back to the host it runs on.
    if ((hop.byAddress && *hop.byAddress == client) || (!hop.clientName.isEmpty() && hop.clientName == hop.byName))
        return true;
    // A relay inside the recording host's own network. The recording host's address is its own entry or,
    // where it wrote none, the one the next lower line gives for its recorder (the relay itself).
    const auto recorder = hop.byAddress ? hop.byAddress : below ? below->byAddress : std::nullopt;
    return recorder && sameNetwork(client, *recorder);
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
    const QList<Token> tokens = tokenize(unfolded, &hop.date);

    const QList<Token> from = clause(tokens, "from");
    if (!from.isEmpty() && !from.first().comment)
        hop.fromName = from.first().words.first();
    QString before;
    for (const Token& t : from) {
        if (t.comment && (hop.client = commentAddress(t.words, &before)))
            break;
    }
    if (hop.client) {
        const QString reverse = hostName(before.mid(before.lastIndexOf(QLatin1Char('@')) + 1));
        if (!reverse.isEmpty() && reverse != QLatin1String("unknown") && !addressFromLiteral(reverse))
            hop.clientName = reverse;
    } else {
        // No address in the comments: one the client's own words carry ("from [192.0.2.1]", fetchmail's
        // "from host [192.0.2.1]", a web mail's "from 192.0.2.1").
        for (const Token& t : from)
            if (!t.comment && (hop.client = addressFromLiteral(t.words.first())))
                break;
    }
    if (hop.clientName.isEmpty() && !addressFromLiteral(hop.fromName))
        hop.clientName = hostName(hop.fromName);

    const QList<Token> by = clause(tokens, "by");
    for (const Token& t : by) {
        if (t.comment)
            hop.byAddress = commentAddress(t.words, &before);
        else if (hop.byName.isEmpty())
            hop.byName = hostName(t.words.first());
        else
            hop.byAddress = addressFromLiteral(t.words.first());
        if (hop.byAddress)
            break;
    }
    if (!hop.byAddress)
        hop.byAddress = addressFromLiteral(hop.byName);
    const QList<Token> with = clause(tokens, "with");
    if (!with.isEmpty() && !with.first().comment)
        hop.protocol = with.first().words.first().toLower();
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
        QList<TraceHop> hops;
        for (const QString& field : receivedFields(header))
            hops.append(parseTraceHop(field));
        if (hops.isEmpty()) {
            result = QStringLiteral("0");
            return;
        }
        for (qsizetype i = 0; i < hops.size(); ++i) {
            const TraceHop& hop = hops.at(i);
            if (isOwnHop(hop, i + 1 < hops.size() ? &hops.at(i + 1) : nullptr, own))
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
