#include "errors/ErrorHandler.h"
#include "platform/AppInfo.h"
#include "platform/AppPaths.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QFile>
#include <QTest>

using namespace nw;
using nw::test::Sandbox;

namespace {

const QDateTime kWhen(QDate(2026, 3, 4), QTime(5, 6, 7));

// Records what the handler put into the dialog and answers with a scripted caption.
class FakeDialog : public ErrorPresenter {
public:
    QString number, description, stack, answer;
    QStringList captions;
    int unloads = 0;
    void setError(const QString& n, const QString& d) override
    {
        number = n;
        description = d;
    }
    void appendStack(const QString& text) override { stack += text; }
    QString showModal(const QStringList& c) override
    {
        captions = c;
        return answer.isNull() ? c.first() : answer;
    }
    void unload() override { ++unloads; }
};

void failIn(int depth, int number)
{
    if (depth > 1) {
        TraceScope scope(QStringLiteral("Level%1").arg(depth));
        failIn(depth - 1, number);
        return;
    }
    runGuarded("innerMost", [&] { throw RuntimeError(number); });
}

} // namespace

class TstErrorHandler : public QObject {
    Q_OBJECT

private slots:
    void logRecordIsExact_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QVariantList>("parameters");
        QTest::addColumn<QByteArray>("numberLine");
        QTest::addColumn<QByteArray>("parameterLines");
        QTest::newRow("positive, no parameters") << 53 << QVariantList{} << QByteArray("     Number:      53")
                                                 << QByteArray("                  None\r\n\r\n");
        QTest::newRow("negative number has no blank")
            << -2147221504 << QVariantList{} << QByteArray("     Number:     -2147221504")
            << QByteArray("                  None\r\n\r\n");
        QTest::newRow("two parameters, two empty lines")
            << 5 << QVariantList{QStringLiteral("a.msg"), 42} << QByteArray("     Number:      5")
            << QByteArray("                  a.msg\r\n                  42\r\n\r\n\r\n");
    }
    void logRecordIsExact()
    {
        QFETCH(int, number);
        QFETCH(QVariantList, parameters);
        QFETCH(QByteArray, numberLine);
        QFETCH(QByteArray, parameterLines);
        Sandbox box;
        FakeDialog dialog;
        ErrorHandler::instance().setPresenter(&dialog);
        ErrorHandler::instance().setClock([] { return kWhen; });
        {
            TraceScope outer("MDIForm_Load");
            TraceScope inner("cmdProcess_Click");
            QCOMPARE(HandleError(RuntimeError(number, QStringLiteral("Broken")), QStringLiteral("Broken"), 3,
                                 parameters),
                     3);
        }
        const QByteArray expected = "<-- " + generalDateText(kWhen).toLatin1() + " -->\r\n" +
                                    "     Product:     Nettlewright (2.0.1)\r\n" + "     -- Error --\r\n" +
                                    numberLine + "\r\n" + "     Description: Broken\r\n" + "     Parameters:\r\n" +
                                    parameterLines + "     -- Stack --\r\n" + "\t2 - CMDPROCESS_CLICK\r\n" +
                                    "\t1 - MDIFORM_LOAD\r\n" + "\r\n";
        QCOMPARE(box.errorLog(), expected);
        QCOMPARE(dialog.number, QString::fromLatin1(numberLine.mid(17)));
        QVERIFY(dialog.stack.startsWith(QStringLiteral("2 - CMDPROCESS_CLICK\r\n1 - MDIFORM_LOAD\r\n     -- Error --")));
        QCOMPARE(ErrorHandler::instance().stackDepth(), 0);
    }

    void switchesLimitWhatIsWritten_data()
    {
        QTest::addColumn<bool>("tracking");
        QTest::addColumn<bool>("logging");
        QTest::addColumn<bool>("hasRecord");
        QTest::addColumn<bool>("hasStack");
        QTest::newRow("both") << true << true << true << true;
        QTest::newRow("no logging: stack only") << true << false << false << true;
        QTest::newRow("no tracking: record only") << false << true << true << false;
    }
    void switchesLimitWhatIsWritten()
    {
        QFETCH(bool, tracking);
        QFETCH(bool, logging);
        QFETCH(bool, hasRecord);
        QFETCH(bool, hasStack);
        Sandbox box;
        FakeDialog dialog;
        ErrorHandler::instance().setPresenter(&dialog);
        ErrorHandler::instance().stackTracking = tracking;
        ErrorHandler::instance().logErrors = logging;
        failIn(3, 9);
        const QByteArray log = box.errorLog();
        QCOMPARE(log.contains("-- Error --"), hasRecord);
        QCOMPARE(log.contains("-- Stack --"), hasStack);
        if (hasStack)
            QVERIFY(log.contains("\t3 - INNERMOST\r\n\t2 - LEVEL2\r\n\t1 - LEVEL3\r\n\r\n"));
        QCOMPARE(ErrorHandler::instance().stackDepth(), 0);
    }

    void errorOneIsSilent()
    {
        Sandbox box;
        FakeDialog dialog;
        ErrorHandler::instance().setPresenter(&dialog);
        failIn(2, 1);
        QVERIFY(box.errorLog().isEmpty());
        QVERIFY(dialog.captions.isEmpty());
        QCOMPARE(ErrorHandler::instance().stackDepth(), 0);
    }

    void modesChooseButtonsAndResult_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("exits");
        QTest::addColumn<int>("unloads");
        const QStringList three{QStringLiteral("Quit"), QStringLiteral("Retry"), QStringLiteral("Ignore")};
        QTest::newRow("0 quits") << 0 << QString() << QStringList{QStringLiteral("Quit")} << 0 << 1 << 1;
        QTest::newRow("1 ok") << 1 << QString() << QStringList{QStringLiteral("OK")} << 1 << 0 << 1;
        QTest::newRow("2 quit") << 2 << QStringLiteral("Quit") << three << 0 << 1 << 0;
        QTest::newRow("2 retry") << 2 << QStringLiteral("Retry") << three << 1 << 0 << 1;
        QTest::newRow("2 ignore") << 2 << QStringLiteral("Ignore") << three << 3 << 0 << 1;
        QTest::newRow("2 closed") << 2 << QStringLiteral("") << three << 0 << 0 << 1;
        QTest::newRow("3 ok") << 3 << QString() << QStringList{QStringLiteral("OK")} << 3 << 0 << 1;
        QTest::newRow("7 not shown") << 7 << QString() << QStringList{} << 0 << 0 << 0;
    }
    void modesChooseButtonsAndResult()
    {
        QFETCH(int, mode);
        QFETCH(QString, answer);
        QFETCH(QStringList, captions);
        QFETCH(int, result);
        QFETCH(int, exits);
        QFETCH(int, unloads);
        Sandbox box;
        FakeDialog dialog;
        dialog.answer = answer;
        ErrorHandler::instance().setPresenter(&dialog);
        QCOMPARE(HandleError(RuntimeError(5), QStringLiteral("x"), mode), result);
        QCOMPARE(dialog.captions, captions);
        QCOMPARE(box.exits(), exits);
        QCOMPARE(dialog.unloads, unloads);
        QCOMPARE(box.prompts().texts().contains(QStringLiteral("Exiting Program")), exits > 0);
    }

    void unwritableProgramFolderShowsBothBoxesThenDialog()
    {
        Sandbox box;
        FakeDialog dialog;
        ErrorHandler::instance().setPresenter(&dialog);
        // A folder below a plain file cannot be written, even by root.
        AppPaths::setProgramFolder(box.writeFile(QStringLiteral("plain"), "x") + QStringLiteral("/sub"));
        QCOMPARE(HandleError(RuntimeError(13), QStringLiteral("Type mismatch"), 3), 3);
        const auto& shown = box.prompts().shown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.at(0).title, QStringLiteral("Unable to Write Error Log"));
        QCOMPARE(shown.at(1).title, QStringLiteral("Unable to Process Stack Request"));
        QVERIFY(shown.at(0).text.startsWith(QStringLiteral(" 75 - ")));
        QCOMPARE(shown.at(0).icon, PromptIcon::Critical);
        QCOMPARE(dialog.captions, QStringList{QStringLiteral("OK")});
    }

    void stackDumpListsInnermostFirst()
    {
        Sandbox box;
        TraceScope a("main");
        TraceScope b("tmrActivate_Timer");
        TraceStack(2, QString());
        QCOMPARE(box.prompts().shown().size(), 1);
        QCOMPARE(box.prompts().shown().at(0).text, QStringLiteral("2 - TMRACTIVATE_TIMER\r\n1 - MAIN\r\n"));
        QCOMPARE(box.prompts().shown().at(0).title, QStringLiteral("Stack Dump [Nettlewright]"));
    }
};

NW_TEST_CLASS(TstErrorHandler)
#include "tst_errorhandler.moc"
