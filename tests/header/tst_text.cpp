#include "header/Text.h"
#include "support/Rows.h"
#include "support/TestMain.h"

#include <QTest>

using namespace nw;
using nw::test::columns;
using nw::test::fetch;
using nw::test::row;
using namespace nw::text;

class TstText : public QObject {
    Q_OBJECT

private slots:
    // The search jumps between occurrences of the needle's first non-alphanumeric character; it must find
    // what a plain search finds, at every boundary.
    void searchFindsWhatIndexOfFinds_data()
    {
        columns<QString, int, QString>("text", "start", "what");
        row("anchor inside the needle, match at the start", "ab:c", 1, "ab:");
        row("match begins before the start position", ":ab", 2, ":a");
        row("second anchor occurrence matches", "a:b:c", 1, ":c");
        row("anchor too close to the end", "xxfrom:", 1, "from: ");
        row("needle longer than the text", "by", 1, "by:");
        row("letters only", "lobby by", 4, "by");
        row("line end needle", "a\r\nb\r\n", 3, "\r\n");
        row("start at the last character", "a;b;", 4, ";");
    }
    void searchFindsWhatIndexOfFinds()
    {
        const auto [text, start, what] = fetch<QString, int, QString>("text", "start", "what");
        QCOMPARE(InStr(start, text, what), int(text.indexOf(what, start - 1)) + 1);
    }

    // The copy-free search must find what a search in the upper-cased copy finds, also where case
    // conversion leaves ASCII.
    void upperCaseSearchMatchesUCase_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("position");
        row("mixed case", "x received: From y", 1, 3);
        row("from a later start", "received: from received: from", 2, 16);
        row("dotless i upper-cases to I", QStringLiteral("Rece\u0131ved: from"), 1, 1);
        row("sharp s stays", QStringLiteral("\u00DFreceived: from"), 1, 2);
        row("pattern at the very end", "abcreceived: from", 1, 4);
        row("text shorter than the pattern", "received", 1, 0);
        row("start beyond the text", "received: from", 20, 0);
    }
    void upperCaseSearchMatchesUCase()
    {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(int, position);
        const QLatin1StringView what("RECEIVED: FROM");
        QCOMPARE(InStrUpper(start, text, what), position);
        QCOMPARE(InStr(start, UCase(text), QString(what)), position);
    }
};

NW_TEST_CLASS(TstText)
#include "tst_text.moc"
