#include "errors/ErrorHandler.h"
#include "platform/AppInfo.h"
#include "platform/AppPaths.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QTest>

using namespace nw;
using namespace Qt::StringLiterals;
using nw::test::Sandbox;

namespace {

const QDateTime kWhen(QDate(2026, 3, 4), QTime(5, 6, 7));

// Records what the handler put into the dialog and answers with the first caption offered.
class FakeDialog : public ErrorPresenter {
public:
    QString number, stack;
    QStringList captions;
    int unloads = 0;
    void setError(const QString& n, const QString&) override { number = n; }
    void appendStack(const QString& text) override { stack += text; }
    QString showModal(const QStringList& c) override
    {
        captions = c;
        return c.first();
    }
    void unload() override { ++unloads; }
};

void failIn(int depth, int number)
{
    if (depth > 1) {
        TraceScope scope(u"Level%1"_s.arg(depth));
        failIn(depth - 1, number);
        return;
    }
    runGuarded("innerMost", [&] { throw RuntimeError(number); });
}

} // namespace

// The handler with a recorded dialog; the real dialog's buttons are tried in tst_errordialog.
class TstErrorHandler : public QObject {
    Q_OBJECT

    Sandbox* m_box = nullptr;
    FakeDialog m_dialog;

private slots:
    void init()
    {
        m_box = new Sandbox;
        m_dialog = FakeDialog{};
        ErrorHandler::instance().setPresenter(&m_dialog);
    }
    void cleanup()
    {
        QCOMPARE(ErrorHandler::instance().stackDepth(), 0);
        delete m_box;
    }

    void logRecordIsExact_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QVariantList>("parameters");
        QTest::addColumn<QByteArray>("numberLine");
        QTest::addColumn<QByteArray>("parameterLines");
        const QByteArray none("                  None\r\n\r\n");
        QTest::newRow("positive, no parameters") << 53 << QVariantList{} << QByteArray("     Number:      53") << none;
        QTest::newRow("negative number has no blank")
            << -2147221504 << QVariantList{} << QByteArray("     Number:     -2147221504") << none;
        QTest::newRow("two parameters, two empty lines")
            << 5 << QVariantList{u"a.msg"_s, 42} << QByteArray("     Number:      5")
            << QByteArray("                  a.msg\r\n                  42\r\n\r\n\r\n");
    }
    void logRecordIsExact()
    {
        QFETCH(int, number);
        QFETCH(QVariantList, parameters);
        QFETCH(QByteArray, numberLine);
        QFETCH(QByteArray, parameterLines);
        ErrorHandler::instance().setClock([] { return kWhen; });
        {
            TraceScope outer("MDIForm_Load");
            TraceScope inner("cmdProcess_Click");
            QCOMPARE(HandleError(RuntimeError(number, u"Broken"_s), u"Broken"_s, 3, parameters), 3);
        }
        const QByteArray expected = "<-- " + generalDateText(kWhen).toLatin1() +
                                    " -->\r\n     Product:     Nettlewright (2.0.1)\r\n     -- Error --\r\n" +
                                    numberLine + "\r\n     Description: Broken\r\n     Parameters:\r\n" +
                                    parameterLines +
                                    "     -- Stack --\r\n\t2 - CMDPROCESS_CLICK\r\n\t1 - MDIFORM_LOAD\r\n\r\n";
        QCOMPARE(m_box->errorLog(), expected);
        QCOMPARE(m_dialog.number, QString::fromLatin1(numberLine.mid(17)));
        QVERIFY(m_dialog.stack.startsWith(u"2 - CMDPROCESS_CLICK\r\n1 - MDIFORM_LOAD\r\n     -- Error --"_s));
    }

    void switchesLimitWhatIsWritten_data()
    {
        QTest::addColumn<bool>("tracking");
        QTest::addColumn<bool>("logging");
        QTest::newRow("both") << true << true;
        QTest::newRow("no logging: stack only") << true << false;
        QTest::newRow("no tracking: record only") << false << true;
    }
    void switchesLimitWhatIsWritten()
    {
        QFETCH(bool, tracking);
        QFETCH(bool, logging);
        ErrorHandler::instance().stackTracking = tracking;
        ErrorHandler::instance().logErrors = logging;
        failIn(3, 9);
        const QByteArray log = m_box->errorLog();
        QCOMPARE(log.contains("-- Error --"), logging);
        QCOMPARE(log.contains("-- Stack --"), tracking);
        QCOMPARE(log.contains("\t3 - INNERMOST\r\n\t2 - LEVEL2\r\n\t1 - LEVEL3\r\n\r\n"), tracking);
    }

    void errorOneIsSilent()
    {
        failIn(2, 1);
        QVERIFY(m_box->errorLog().isEmpty());
        QVERIFY(m_dialog.captions.isEmpty());
    }

    // The modes the real dialog's test does not press: 0 quits at once, 3 reports, 7 shows nothing.
    void modesChooseButtonsAndResult_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("exits");
        QTest::addColumn<int>("unloads");
        QTest::newRow("0 quits") << 0 << QStringList{u"Quit"_s} << 0 << 1 << 1;
        QTest::newRow("3 ok") << 3 << QStringList{u"OK"_s} << 3 << 0 << 1;
        QTest::newRow("7 not shown") << 7 << QStringList{} << 0 << 0 << 0;
    }
    void modesChooseButtonsAndResult()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, captions);
        QFETCH(int, result);
        QFETCH(int, exits);
        QFETCH(int, unloads);
        QCOMPARE(HandleError(RuntimeError(5), u"x"_s, mode), result);
        QCOMPARE(m_dialog.captions, captions);
        QCOMPARE(m_box->exits(), exits);
        QCOMPARE(m_dialog.unloads, unloads);
        QCOMPARE(m_box->prompts().texts().contains(u"Exiting Program"_s), exits > 0);
    }

    void unwritableProgramFolderShowsBothBoxesThenDialog()
    {
        // A folder below a plain file cannot be written, even by root.
        AppPaths::setProgramFolder(m_box->writeFile(u"plain"_s, "x") + u"/sub"_s);
        QCOMPARE(HandleError(RuntimeError(13), u"Type mismatch"_s, 3), 3);
        const auto& shown = m_box->prompts().shown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.at(0).title, u"Unable to Write Error Log"_s);
        QCOMPARE(shown.at(1).title, u"Unable to Process Stack Request"_s);
        QVERIFY(shown.at(0).text.startsWith(u" 75 - "_s));
        QCOMPARE(shown.at(0).icon, PromptIcon::Critical);
        QCOMPARE(m_dialog.captions, QStringList{u"OK"_s});
    }

    void stackDumpListsInnermostFirst()
    {
        {
            TraceScope a("main");
            TraceScope b("tmrActivate_Timer");
            TraceStack(2, QString());
        }
        QCOMPARE(m_box->prompts().shown().size(), 1);
        QCOMPARE(m_box->prompts().shown().at(0).text, u"2 - TMRACTIVATE_TIMER\r\n1 - MAIN\r\n"_s);
        QCOMPARE(m_box->prompts().shown().at(0).title, u"Stack Dump [Nettlewright]"_s);
    }
};

NW_TEST_CLASS(TstErrorHandler)
#include "tst_errorhandler.moc"
