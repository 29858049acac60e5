#include "errors/ErrorHandler.h"
#include "platform/AppPaths.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

using namespace nw;
using namespace nw::test;
using namespace Qt::StringLiterals;

namespace {

const QDateTime kWhen(QDate(2026, 3, 4), QTime(5, 6, 7));

// Records what the handler put into the dialog and answers with the first caption offered.
struct FakeDialog : ErrorPresenter {
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

// Each message box shown, as "title|text".
QStringList boxes(Sandbox& box)
{
    QStringList all;
    for (const Prompt& p : box.prompts().shown())
        all << p.title + u'|' + p.text;
    return all;
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

    // The record and the stack in the error log byte for byte, as far as the two switches let them be written;
    // a stack dump asked for meanwhile lists the innermost routine first.
    void logRecordIsExact_data()
    {
        columns<int, QVariantList, QString, QByteArray, bool, bool>("number", "parameters", "numberText",
                                                                    "parameterLines", "tracking", "logging");
        const QByteArray none("                  None\r\n\r\n");
        row("positive, no parameters", 53, QVariantList(), u" 53"_s, none, true, true);
        row("negative number has no blank", -2147221504, QVariantList(), u"-2147221504"_s, none, true, true);
        row("two parameters, two empty lines", 5, QVariantList{u"a.msg"_s, 42}, u" 5"_s,
            QByteArray("                  a.msg\r\n                  42\r\n\r\n\r\n"), true, true);
        row("no logging: stack only", 5, QVariantList(), u" 5"_s, none, true, false);
        row("no tracking: record only", 5, QVariantList(), u" 5"_s, none, false, true);
    }
    void logRecordIsExact()
    {
        const auto [number, parameters, numberText, parameterLines, tracking, logging] =
            fetch<int, QVariantList, QString, QByteArray, bool, bool>("number", "parameters", "numberText",
                                                                      "parameterLines", "tracking", "logging");
        ErrorHandler::instance().stackTracking = tracking;
        ErrorHandler::instance().logErrors = logging;
        ErrorHandler::instance().setClock([] { return kWhen; });
        {
            TraceScope outer("MDIForm_Load");
            TraceScope inner("cmdProcess_Click");
            QCOMPARE(HandleError(RuntimeError(number, u"Broken"_s), u"Broken"_s, 3, parameters), 3);
            TraceStack(2, QString());
        }
        const QByteArray record =
            "<-- " + generalDateText(kWhen).toLatin1() +
            " -->\r\n     Product:     Nettlewright (2.0.1)\r\n     -- Error --\r\n     Number:     " +
            numberText.toLatin1() + "\r\n     Description: Broken\r\n     Parameters:\r\n" + parameterLines;
        const QByteArray stack = "     -- Stack --\r\n\t2 - CMDPROCESS_CLICK\r\n\t1 - MDIFORM_LOAD\r\n\r\n";
        QCOMPARE(m_box->errorLog(), (logging ? record : QByteArray()) + (tracking ? stack : QByteArray()));
        QCOMPARE(m_dialog.number, numberText);
        const QString lines = u"2 - CMDPROCESS_CLICK\r\n1 - MDIFORM_LOAD\r\n"_s;
        QVERIFY(m_dialog.stack.startsWith((tracking ? lines : QString()) + u"     -- Error --"_s));
        QCOMPARE(boxes(*m_box), tracking ? QStringList{u"Stack Dump [Nettlewright]|"_s + lines} : QStringList());
    }

    void errorOneIsSilent()
    {
        runGuarded("innerMost", [] { throw RuntimeError(1); });
        QCOMPARE(m_box->errorLog(), QByteArray());
        QCOMPARE(m_dialog.captions, QStringList());
    }

    // The modes the real dialog's test does not press: 0 quits at once, 3 reports, 7 shows nothing.
    void modesChooseButtonsAndResult_data()
    {
        columns<int, QStringList, int, int, int>("mode", "captions", "result", "exits", "unloads");
        row("0 quits", 0, QStringList{u"Quit"_s}, 0, 1, 1);
        row("3 ok", 3, QStringList{u"OK"_s}, 3, 0, 1);
        row("7 not shown", 7, QStringList(), 0, 0, 0);
    }
    void modesChooseButtonsAndResult()
    {
        const auto [mode, captions, result, exits, unloads] =
            fetch<int, QStringList, int, int, int>("mode", "captions", "result", "exits", "unloads");
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
        const QStringList shown = boxes(*m_box);
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown.at(0).startsWith(u"Unable to Write Error Log| 75 - "_s));
        QVERIFY(shown.at(1).startsWith(u"Unable to Process Stack Request|"_s));
        QCOMPARE(m_box->prompts().shown().at(0).icon, PromptIcon::Critical);
        QCOMPARE(m_dialog.captions, QStringList{u"OK"_s});
    }
};

NW_TEST_CLASS(TstErrorHandler)
#include "tst_errorhandler.moc"
