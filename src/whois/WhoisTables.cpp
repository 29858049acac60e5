#include "whois/WhoisTables.h"

#include "header/Text.h"
#include "platform/AppPaths.h"
#include "platform/Prompts.h"

#include <QFile>

#include <cerrno>
#include <optional>

namespace nw {

using namespace nw::text;

namespace {

constexpr QLatin1String kRirTitle("Registry Info Error");
constexpr QLatin1String kTldTitle("Error");

// The reason texts of a corrupt data line, each with the layout its message is written in.
enum class Layout { A, B };
struct Corruption {
    const char* reason;
    Layout layout;
};
constexpr Corruption kMissingFields{" is corrupt (Missing Fields).", Layout::A};
constexpr Corruption kRangeNoSlash{" is corrupt (malformed IP Address Range).", Layout::B};
constexpr Corruption kInvalidServer{" is corrupt (invalid WHOIS server).", Layout::A};
constexpr Corruption kRangeParts{" is corrupt (malformed IP Address Range).", Layout::A};
constexpr Corruption kBadMask{" is corrupt (malformed IP Address Mask).", Layout::B};
constexpr Corruption kBadBase{" is corrupt (malformed IP Address Base).", Layout::B};
constexpr Corruption kInvalidPort{" is corrupt (Invalid Port Number).", Layout::A};

QString corruptMessage(const QString& path, const Corruption& c, int lineNumber, const QString& line)
{
    const QString quote = QStringLiteral("\"");
    QString text = path + QLatin1String(c.reason) + CrLf() + QStringLiteral("Error occured in Line ") +
                   QString::number(lineNumber);
    if (c.layout == Layout::A)
        text += CrLf() + quote + line + quote + CrLf();
    else
        text += quote + line + quote + CrLf() + CrLf();
    return text + QStringLiteral("Please replace file or reinstall program.");
}

void warn(const QString& text, const QString& title)
{
    msgBox(text, PromptButtons::Ok, PromptIcon::Exclamation, title);
}

// The file's lines (CR LF or LF ends; a final line end opens no further line), or nothing after
// reporting that the file cannot be opened.
std::optional<QStringList> readLines(const QString& path, const QString& title)
{
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        const int code = errno;
        warn(QStringLiteral("Cannot Open ") + path + CrLf() + QStringLiteral("Error: ") + QString::number(code) +
                 QStringLiteral(" (") + file.errorString() + QStringLiteral(")"),
             title);
        return std::nullopt;
    }
    QStringList lines = QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    return lines;
}

bool isComment(const QString& line)
{
    return line.startsWith(QLatin1Char('#'));
}

// A whole number written in decimal digits, spaces around it allowed. Signs, blanks inside and empty
// text are not numbers; `overflow` is set for a number too large for 32 bits.
std::optional<quint32> wholeNumber(const QString& text, bool* overflow = nullptr)
{
    const QString digits = TrimSpaces(text);
    if (digits.isEmpty())
        return std::nullopt;
    quint64 value = 0;
    bool tooLarge = false;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + quint64(c.unicode() - '0');
        if (value > 0xFFFFFFFFu) {
            tooLarge = true;
            value = 0xFFFFFFFFu;
        }
    }
    if (overflow)
        *overflow = tooLarge;
    return quint32(value);
}

bool isOctet(const QString& text)
{
    bool overflow = false;
    const auto value = wholeNumber(text, &overflow);
    return value && !overflow && *value <= 255;
}

// Reads the data lines of a table file in order: `parse` fills an entry from one line's fields or
// names what is wrong with the line. Nothing is returned after reporting an unreadable file or the
// first corrupt line, so one bad line leaves the whole table unbuilt.
template <typename Entry, typename Parse>
std::optional<QList<Entry>> readTable(const QString& path, const QString& title, const QString& separator, Parse parse)
{
    const auto lines = readLines(path, title);
    if (!lines)
        return std::nullopt;
    QList<Entry> table;
    for (int i = 0; i < lines->size(); ++i) {
        const QString& line = lines->at(i);
        if (isComment(line))
            continue;
        Entry entry;
        if (const Corruption* corruption = parse(Split(line, separator), entry)) {
            warn(corruptMessage(path, *corruption, i + 1, line), title);
            return std::nullopt;
        }
        table.append(entry);
    }
    return table;
}

// A range line of either family: BLOCK, SERVER[, PREFIX[, SUFFIX]], tested in this order: the fields, the
// "/", the server, the two parts of the block, its prefix length up to `maxPrefix`, then its base, which
// `setBase` takes (false when it is no base of this family).
template <typename Entry, typename SetBase>
const Corruption* parseRange(const QStringList& fields, Entry& e, quint32 maxPrefix, SetBase setBase)
{
    if (fields.size() < 2)
        return &kMissingFields;
    if (InStr(fields.at(0), QStringLiteral("/")) == 0)
        return &kRangeNoSlash;
    if (InStr(fields.at(1), QStringLiteral(".")) == 0 && InStr(LCase(fields.at(1)), QStringLiteral("private")) == 0)
        return &kInvalidServer;
    const QStringList range = Split(fields.at(0), QStringLiteral("/"));
    if (range.size() != 2)
        return &kRangeParts;
    const auto prefix = wholeNumber(range.at(1));
    if (!prefix || *prefix < 1 || *prefix > maxPrefix)
        return &kBadMask;
    if (!setBase(range.at(0), int(*prefix)))
        return &kBadBase;
    e.range = fields.at(0);
    e.server = fields.at(1);
    e.cmdPrefix = fields.value(2);
    e.cmdSuffix = fields.value(3);
    return nullptr;
}

const Corruption* parseRangeLine(const QStringList& fields, RirEntry& e)
{
    return parseRange(fields, e, 31, [&](const QString& base, int prefix) {
        e.base = DottedToLong(base); // kept unmasked: a base with host bits set matches nothing
        e.mask = ~((quint32(1) << (32 - prefix)) - 1);
        return e.base != 0;
    });
}

const Corruption* parseRange6Line(const QStringList& fields, Rir6Entry& e)
{
    return parseRange(fields, e, 128, [&](const QString& text, int prefix) {
        const QString base = TrimSpaces(text);
        e.prefixLength = prefix;
        return base.contains(QLatin1Char(':')) && e.base.setAddress(base) &&
               e.base.protocol() == QAbstractSocket::IPv6Protocol;
    });
}

// One server line: DESCRIPTION, PATTERN, SERVER, PORT[, HANDLE[, PREFIX[, SUFFIX]]].
const Corruption* parseServerLine(const QStringList& fields, TldEntry& e)
{
    if (fields.size() < 4)
        return &kMissingFields;
    if (!fields.at(3).isEmpty()) {
        bool overflow = false;
        const auto port = wholeNumber(fields.at(3), &overflow);
        if (!port)
            return &kInvalidPort;
        // A number no TCP port can have is skipped like any failing statement: the port stays 0.
        e.port = overflow || *port > 65535 ? 0 : int(*port);
    }
    e.description = fields.at(0);
    e.pattern = UCase(fields.at(1));
    e.server = fields.at(2);
    e.handle = fields.value(4);
    e.cmdPrefix = fields.value(5);
    e.cmdSuffix = fields.value(6);
    return nullptr;
}

} // namespace

bool IsDottedQuad(const QString& text)
{
    if (text.size() < 7)
        return false;
    const QStringList parts = Split(text, QStringLiteral("."));
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts)
        if (!isOctet(part))
            return false;
    return true;
}

quint32 DottedToLong(const QString& text)
{
    const QStringList parts = Split(text + QStringLiteral(".0.0.0.0"), QStringLiteral("."));
    quint32 value = 0;
    for (int i = 0; i < 4; ++i) {
        if (!isOctet(parts.at(i)))
            return 0;
        value = (value << 8) | *wholeNumber(parts.at(i));
    }
    return value;
}

bool MatchLabels(const QString& name, const QString& pattern)
{
    const QStringList names = Split(UCase(name), QStringLiteral("."));
    const QStringList patterns = Split(UCase(pattern), QStringLiteral("."));
    const QString any = QStringLiteral("*");
    for (qsizetype i = names.size() - 1, j = patterns.size() - 1; i >= 0 && j >= 0; --i, --j)
        if (names.at(i) != patterns.at(j) && names.at(i) != any && patterns.at(j) != any)
            return false;
    return true;
}

QString WhoisTables::rirPath()
{
    return AppPaths::dataFile(QStringLiteral("whois.rir"));
}
QString WhoisTables::tldPath()
{
    return AppPaths::dataFile(QStringLiteral("whois.srv"));
}

QString WhoisTables::rir6Path()
{
    return AppPaths::dataFile(QStringLiteral("whois6.rir"));
}

QList<RirEntry> WhoisTables::builtInRirEntries()
{
    const auto entry = [](const char* server, const char* prefix = "") {
        RirEntry e;
        e.server = QLatin1String(server);
        e.cmdPrefix = QLatin1String(prefix);
        return e;
    };
    return {entry("whois.arin.net", "n +"), entry("whois.ripe.net"),   entry("whois.apnic.net"),
            entry("whois.lacnic.net"),      entry("whois.lacnic.net"), entry("null")};
}

void WhoisTables::LoadRirTable()
{
    m_rirTable.clear();
    const auto table = readTable<RirEntry>(rirPath(), kRirTitle, QStringLiteral("\t"), parseRangeLine);
    if (table)
        m_rirTable = builtInRirEntries() + *table;
}

void WhoisTables::LoadTldTable()
{
    m_tldTable.clear();
    const auto table = readTable<TldEntry>(tldPath(), kTldTitle, QStringLiteral(";"), parseServerLine);
    if (table)
        m_tldTable = *table;
}

void WhoisTables::LoadRir6Table()
{
    m_rir6Table.clear();
    if (!QFile::exists(rir6Path()))
        return; // an installation from before IPv6 look-ups
    const auto table = readTable<Rir6Entry>(rir6Path(), kRirTitle, QStringLiteral("\t"), parseRange6Line);
    if (table)
        m_rir6Table = *table;
}

int WhoisTables::FindRir6Entry(const QHostAddress& address) const
{
    for (int i = 0; i < m_rir6Table.size(); ++i)
        if (address.isInSubnet(m_rir6Table.at(i).base, m_rir6Table.at(i).prefixLength))
            return i;
    return -1;
}

int WhoisTables::FindRirEntry(const QString& address) const
{
    const quint32 ip = DottedToLong(address);
    for (int i = 0; i < m_rirTable.size(); ++i)
        if ((ip & m_rirTable.at(i).mask) == m_rirTable.at(i).base)
            return i;
    return -1;
}

int WhoisTables::FindTldEntry(const QString& name, QString* domain)
{
    // Labels the name lacks are empty rather than left over from an earlier name.
    const QStringList labels = Split(name, QStringLiteral("."));
    const qsizetype n = labels.size() - 1;
    m_lastLabel = labels.value(n);
    m_secondLastLabel = labels.value(n - 1);
    m_thirdLastLabel = labels.value(n - 2);
    // The registered name: the last three labels under a two-label pattern, else the last two; a
    // shorter name is used whole.
    const auto registered = [&](qsizetype count) {
        return labels.mid(qMax<qsizetype>(0, labels.size() - count)).join(QLatin1Char('.'));
    };

    for (int j = 0; j < m_tldTable.size(); ++j) {
        if (MatchLabels(name, m_tldTable.at(j).pattern)) {
            *domain = registered(InStr(m_tldTable.at(j).pattern, QStringLiteral(".")) > 0 ? 3 : 2);
            return j;
        }
    }
    *domain = registered(2);
    return m_tldTable.isEmpty() ? -1 : 0;
}

} // namespace nw
