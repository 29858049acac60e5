#include "header/AddressList.h"

#include "errors/ErrorHandler.h"
#include "header/Text.h"

#include <limits>

namespace nw {

using namespace text;

namespace {

// Delimits addresses in free text and is forbidden inside one.
const QString& separators()
{
    static const QString set = QStringLiteral("!#$%^*()=+{}[]|\\;:'/?>,< \t\r\n");
    return set;
}

bool isSeparator(QChar c) { return separators().contains(c); }

bool isNumeric(const QString& part, qlonglong* value)
{
    bool ok = false;
    const qlonglong v = TrimSpaces(part).toLongLong(&ok);
    if (ok && value)
        *value = v;
    return ok;
}

} // namespace

const QStringList& topLevelDomains()
{
    static const QStringList labels = [] {
        QStringList l = {QStringLiteral("COM"), QStringLiteral("ORG"), QStringLiteral("NET"), QStringLiteral("EDU"),
                         QStringLiteral("GOV"), QStringLiteral("MIL"), QStringLiteral("INT")};
        l += QStringLiteral(
                 "AF AL DZ AS AD AO AI AQ AG AR AM AW AC AU AT AZ BS BH BD BB BY BZ BT BJ BE BM BO BA BW BV BR IO BN "
                 "BG BF BI KH CM CA CV KY CF TD CL CN CX CC CO KM CD CG CK CR CI HR CU CY CZ DK DJ DM DO TP EC EG SV "
                 "GQ ER EE ET FK FO FJ FI FR GF PF TF GA GM GE DE GH GI GR GL GD GP GU GT GG GN GW GY HT HM VA HN HK "
                 "HU IS IN ID IR IQ IE IM IL IT JM JP JE JO KZ KE KI KP KR KW KG LA LV LB LS LR LY LI LT LU MO MK MG "
                 "MW MY MV ML MT MH MQ MR MU YT MX FM MD MC MN MS MA MZ MM NA NR NP NL AN NC NZ NI NE NG NU NF MP NO "
                 "OM PK PW PA PG PY PE PH PN PL PT PR QA RE RO RU RW KN LC VC WS SM ST SA SN SC SL SG SK SI SB SO ZA "
                 "GS ES LK SH PM SD SR SJ SZ SE CH SY TW TJ TZ TH TG TK TO TT TN TR TM TC TV UG UA AE GB US UM UY UZ "
                 "VU VE VN VG VI WF EH YE YU ZR ZM ZW UK")
                 .split(QLatin1Char(' '));
        return l;
    }();
    return labels;
}

const QStringList& excludedRegistryMailboxes()
{
    static const QStringList mailboxes = {
        QStringLiteral("helpdesk@apnic.net"),       QStringLiteral("hostmaster@apnic.net"),
        QStringLiteral("dbmon@apnic.net"),          QStringLiteral("apnic-dbm@apnic.net"),
        QStringLiteral("search-apnic-not-arin@apnic.net"),
        QStringLiteral("hostmaster@ripe.net"),      QStringLiteral("lir-help@ripe.net"),
        QStringLiteral("transfers@ripe.net"),       QStringLiteral("hostmaster@arin.net"),
        QStringLiteral("abuse@iana.org"),           QStringLiteral("abuse@lacnic.net"),
        // the Brazilian registry's block administration mailbox
        QStringLiteral("numeracao@registro.br"),
    };
    return mailboxes;
}

QString GetEmailListFromText(const QString& text, bool uniqueOnly)
{
    return runGuarded("GetEmailListFromText", QString(), [&] {
        QString result;
        const qsizetype n = text.size();
        qsizetype a = text.indexOf(QLatin1Char('@')); // 0-based here; -1 when none
        while (a >= 0) {
            qsizetype right = a + 1;
            while (right < n && !isSeparator(text.at(right)))
                ++right;
            qsizetype left = a;
            while (left > 0 && !isSeparator(text.at(left - 1)))
                --left;
            const QString candidate = text.mid(left, right - left);
            // Every other at sign of this candidate gives the same candidate, one that holds two at signs
            // and is never valid: searching on past it keeps a text of at signs from taking quadratic time.
            a = text.indexOf(QLatin1Char('@'), right);
            if (IsValidEmailAddress(candidate)) {
                if (uniqueOnly && result.contains(candidate))
                    continue;
                result += candidate + CrLf();
            }
        }
        return result;
    });
}

bool IsValidEmailAddress(const QString& address)
{
    return runGuarded("IsValidEmailAddress", false, [&] {
        if (TrimSpaces(address).isEmpty())
            return false;
        // The length is kept in a 16-bit counter.
        if (address.size() > std::numeric_limits<qint16>::max())
            throw RuntimeError(6);
        // Control characters (NUL, BEL, BS, DEL...) have no place in an address and must never reach an
        // SMTP envelope.
        for (const QChar c : address)
            if (isSeparator(c) || c.unicode() < 0x20 || c.unicode() == 0x7F)
                return false;
        const int at = InStr(address, QStringLiteral("@"));
        if (at <= 1)
            return false;
        const QString domain = Mid(address, at + 1);
        if (domain.contains(QLatin1Char('@')))
            return false;
        return IsValidIPHost(UCase(domain));
    });
}

bool IsValidIPHost(const QString& host)
{
    return runGuarded("IsValidIPHost", false, [&] {
        if (!host.contains(QLatin1Char('.')))
            return false;
        const QStringList parts = Split(host, QStringLiteral("."));
        if (parts.size() == 4) {
            qlonglong v[4];
            bool numeric = true;
            for (int i = 0; i < 4 && numeric; ++i)
                numeric = isNumeric(parts.at(i), &v[i]);
            if (numeric)
                return v[0] <= 239 && v[1] <= 255 && v[2] <= 255 && v[3] <= 255;
        }
        return isTopLevelDomain(parts.last());
    });
}

bool isTopLevelDomain(const QString& label)
{
    return runGuarded("isTopLevelDomain", false, [&] { return topLevelDomains().contains(label); });
}

QString PickAbuseAddress(const QString& list)
{
    if (list.isEmpty())
        return QString();
    const QStringList entries = Split(list, CrLf());
    for (const QString& e : entries) {
        const QString lower = LCase(e);
        if (lower.contains(QLatin1String("abuse")) || lower.contains(QLatin1String("spam")))
            return e;
    }
    for (const QString& e : entries)
        if (LCase(e).contains(QLatin1String("admin")))
            return e;
    for (const QString& e : entries)
        if (!excludedRegistryMailboxes().contains(e))
            return e;
    return QString();
}

} // namespace nw
