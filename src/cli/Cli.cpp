#include "cli/Cli.h"

#include "errors/RuntimeError.h"
#include "header/MessageIntake.h"
#include "header/SourceWalk.h"
#include "platform/Resolver.h"
#include "platform/TextFile.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace nw::cli {

namespace {
QList<Command>& registry()
{
    static QList<Command> list;
    return list;
}
} // namespace

bool registerCommand(const Command& command)
{
    registry().append(command);
    return true;
}

QList<Command> commands()
{
    QList<Command> list = registry();
    std::sort(list.begin(), list.end(), [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
    return list;
}

namespace {
constexpr char16_t kRawByte = 0xDC00; // U+DC00 + byte: a byte of a name that is no valid text

// A lone low surrogate (one that ends no pair) in the range arguments() gives such bytes.
bool isRawByte(const QString& text, qsizetype i)
{
    const char16_t u = text.at(i).unicode();
    return u >= kRawByte && u <= kRawByte + 0xFF && (i == 0 || !text.at(i - 1).isHighSurrogate());
}

void write(std::FILE* stream, const QString& line)
{
    const QByteArray bytes = printable(line + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}
} // namespace

QStringList arguments(int argc, char** argv)
{
#ifdef Q_OS_UNIX
    QStringList list;
    for (int i = 1; i < argc; ++i) {
        const QByteArray raw(argv[i]);
        QString text = QString::fromLocal8Bit(raw);
        if (text.toLocal8Bit() != raw) {
            // Decoded piece by piece: the shortest run (one character of the locale's encoding, at most four
            // bytes) that reads as text and back stays text; a byte that starts none stands for itself.
            text.clear();
            for (qsizetype at = 0; at < raw.size();) {
                qsizetype length = 1;
                while (length <= 4 && QString::fromLocal8Bit(raw.mid(at, length)).toLocal8Bit() != raw.mid(at, length))
                    ++length;
                if (length > 4) {
                    text += QChar(char16_t(kRawByte + uchar(raw.at(at))));
                    ++at;
                } else {
                    text += QString::fromLocal8Bit(raw.mid(at, length));
                    at += length;
                }
            }
        }
        list << text;
    }
    return list;
#else
    Q_UNUSED(argc)
    Q_UNUSED(argv)
    return QCoreApplication::arguments().mid(1);
#endif
}

QByteArray nativePath(const QString& argument)
{
    QByteArray bytes;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= argument.size(); ++i) {
        if (i < argument.size() && !isRawByte(argument, i))
            continue;
        bytes += QFile::encodeName(argument.mid(from, i - from));
        if (i < argument.size())
            bytes += char(argument.at(i).unicode() - kRawByte);
        from = i + 1;
    }
    return bytes;
}

QString printable(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        const bool lineEnd = u == '\n' || (u == '\r' && text.mid(i + 1, 1) == QLatin1String("\n"));
        const bool control = (u < 0x20 && u != '\t' && !lineEnd) || (u >= 0x7F && u < 0xA0);
        const bool raw = isRawByte(text, i);
        if (control || raw)
            out += QStringLiteral("\\x%1").arg(raw ? u - kRawByte : u, 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

void out(const QString& line) { write(stdout, line); }

void err(const QString& line) { write(stderr, line); }

bool loadMessage(const QString& argument, QString& header, QString& failure)
{
    QFile file;
    try {
        TextFile::openRegular(file, nativePath(argument));
    } catch (const RuntimeError& e) {
        failure = e.description();
        return false;
    }
    const LoadedHeader loaded = loadHeader(file);
    header = loaded.text;
    failure = loaded.failure;
    return failure.isNull();
}

std::unique_ptr<Resolver> makeResolver(bool noDns, const QString& tableFile, QString& error)
{
    if (noDns)
        return std::make_unique<TableResolver>(); // an empty table finds no names
    if (!tableFile.isEmpty())
        return TableResolver::fromFile(tableFile, &error);
    return std::make_unique<SystemResolver>();
}

QString jsonString(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20 || c.unicode() >= 0x7F)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

bool takeSourceOption(const QStringList& args, qsizetype& i, SourceRules& rules, QString* error)
{
    const QString& arg = args.at(i);
    if (arg == QLatin1String("--skip-own-hops")) {
        rules.skipOwnHops = true;
        return true;
    }
    if (arg != QLatin1String("--own-hosts"))
        return false;
    if (++i == args.size()) {
        *error = QStringLiteral("--own-hosts needs a list of host names, addresses or prefixes");
        return true;
    }
    QStringList bad;
    rules.ownHosts = OwnHosts::parse(args.at(i), &bad);
    rules.skipOwnHops = true;
    if (!bad.isEmpty())
        *error = QStringLiteral("--own-hosts: '%1' is not a host name, address or address prefix").arg(bad.first());
    return true;
}

QString sourceOptionsUsage(int column)
{
    const QString indent = QString(column, QLatin1Char(' '));
    const auto option = [&](const char* name, const char* first, const char* second) {
        return (QStringLiteral("  ") + QLatin1String(name)).leftJustified(column) + QLatin1String(first) +
               QLatin1Char('\n') + indent + QLatin1String(second);
    };
    return option("--skip-own-hops", "look past the recipient's own mail system: read the whole header, pass",
                  "over the hops inside it and take the first client outside") +
           QLatin1Char('\n') +
           option("--own-hosts LIST", "the own system's host names, addresses and prefixes (IPv4 or IPv6),",
                  "separated by blanks or commas; implies --skip-own-hops");
}

} // namespace nw::cli
