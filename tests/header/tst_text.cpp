#include "header/Text.h"
#include "support/TestMain.h"

#include <QTest>

using namespace nw;
using namespace nw::text;

class TstText : public QObject {
    Q_OBJECT

private slots:
    // The copy-free search must find what a search in the upper-cased copy finds, also where case
    // conversion leaves ASCII.
    void upperCaseSearchMatchesUCase_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("position");
        QTest::newRow("mixed case") << "x received: From y" << 1 << 3;
        QTest::newRow("from a later start") << "received: from received: from" << 2 << 16;
        QTest::newRow("dotless i upper-cases to I") << QStringLiteral("Rece\u0131ved: from") << 1 << 1;
        QTest::newRow("sharp s stays") << QStringLiteral("\u00DFreceived: from") << 1 << 2;
        QTest::newRow("pattern at the very end") << "abcreceived: from" << 1 << 4;
        QTest::newRow("text shorter than the pattern") << "received" << 1 << 0;
        QTest::newRow("start beyond the text") << "received: from" << 20 << 0;
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
