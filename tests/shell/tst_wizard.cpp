#include "app/Settings.h"
#include "controls/Hyperlink.h"
#include "platform/Autostart.h"
#include "platform/SettingsStore.h"
#include "shell/frmFirstTimeSetup.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTest>

using namespace nw;
using namespace Qt::StringLiterals;

class TstWizard : public QObject {
    Q_OBJECT

private:
    struct World {
        test::Sandbox box;
        SettingsStore store;
        frmFirstTimeSetup wizard{store};
        World()
        {
            wizard.show();
            QVERIFY(QTest::qWaitForWindowActive(&wizard));
        }
        QString shownText() const
        {
            return wizard.pages->currentWidget()->findChild<QLabel*>(QStringLiteral("instructions"))->text();
        }
    };

private slots:
    // Forward, each page's control takes the keyboard; Enter is "Next" wherever the focus is.
    void nextMovesPageCaptionAndFocus_data()
    {
        QTest::addColumn<int>("steps");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("textStart");
        QTest::newRow("page 0: the Next link, Cancel offered")
            << 0 << u"hlnkNext"_s << u"It appears that Nettlewright has not yet been setup.  "_s;
        QTest::newRow("page 1: server box") << 1 << u"txtSMTP"_s << u"Nettlewright requires an SMTP mail server"_s;
        QTest::newRow("page 2: address box") << 2 << u"txtEmail"_s << u"Your email address is required"_s;
        QTest::newRow("page 3: copy box") << 3 << u"chkCopy"_s << u"Would you like Nettlewright to send a copy"_s;
        QTest::newRow("page 4: return box") << 4 << u"chkReturnAddress"_s << u"Would you like to include your return"_s;
        QTest::newRow("page 5: autostart box")
            << 5 << u"chkAutoStart"_s << u"Would you like Nettlewright to start up"_s;
        QTest::newRow("page 6: the Next link") << 6 << u"hlnkNext"_s << u"Nettlewright setup is now complete."_s;
        QTest::newRow("page 7: the Next link") << 7 << u"hlnkNext"_s << u"Thank you for making the effort"_s;
    }
    void nextMovesPageCaptionAndFocus()
    {
        QFETCH(int, steps);
        QFETCH(QString, focus);
        QFETCH(QString, textStart);
        World w;
        for (int i = 0; i < steps; ++i)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &w.wizard, Qt::Key_Return);
        QCOMPARE(w.wizard.page(), steps);
        QCOMPARE(w.wizard.hlnkPrevious->text(), steps ? QStringLiteral("Previous") : QStringLiteral("Cancel"));
        QVERIFY2(w.shownText().startsWith(textStart), qPrintable(w.shownText()));
        QTRY_VERIFY(QApplication::focusWidget());
        QCOMPARE(QApplication::focusWidget(), focusTarget(w.wizard, focus));
    }

    void previousMovesFocusBack_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("focus");
        QTest::newRow("page 2 back to the server box") << 2 << u"txtSMTP"_s;
        QTest::newRow("page 6 back to the autostart box") << 6 << u"chkAutoStart"_s;
        QTest::newRow("page 1 back: the Next link") << 1 << u"hlnkNext"_s;
    }
    void previousMovesFocusBack()
    {
        QFETCH(int, from);
        QFETCH(QString, focus);
        World w;
        for (int i = 0; i < from; ++i)
            w.wizard.Next();
        QTest::mouseClick(w.wizard.hlnkPrevious, Qt::LeftButton);
        QCOMPARE(w.wizard.page(), from - 1);
        QCOMPARE(QApplication::focusWidget(), focusTarget(w.wizard, focus));
    }

    void wizardCloses_data()
    {
        QTest::addColumn<int>("nexts");
        QTest::addColumn<int>("result");
        QTest::newRow("Cancel on the first page") << 0 << int(QDialog::Rejected);
        QTest::newRow("Next on the last page") << 8 << int(QDialog::Accepted);
        QTest::newRow("back to the first page, then Cancel") << 1 << int(QDialog::Rejected);
    }
    void wizardCloses()
    {
        QFETCH(int, nexts);
        QFETCH(int, result);
        World w;
        // Enter, wherever the keyboard is, acts as "Next" up to closing the wizard on the last page.
        for (int i = 0; i < nexts; ++i)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &w.wizard, Qt::Key_Return);
        while (w.wizard.isVisible())
            w.wizard.Previous();
        if (nexts == 8)
            QCOMPARE(w.wizard.page(), 8);
        else
            QCOMPARE(w.wizard.page(), -1);
        QCOMPARE(w.wizard.result(), result);
    }

    void storesAsTheUserWorks()
    {
        World w;
        w.wizard.Next();
        QTest::keyClicks(w.wizard.txtSMTP, QStringLiteral(" mail.example.net"));
        w.wizard.Next(); // the server box loses the focus
        QTest::keyClicks(w.wizard.txtEmail, QStringLiteral("me@example.net"));
        w.wizard.Next();
        tick(w.wizard.chkCopy);
        w.wizard.Next();
        tick(w.wizard.chkReturnAddress);
        w.wizard.Next();
        tick(w.wizard.chkAutoStart);
        QCOMPARE(readSetting(w.store, settings::Smtp), QStringLiteral(" mail.example.net"));
        QCOMPARE(readSetting(w.store, settings::ReturnAddress), QStringLiteral("me@example.net"));
        QCOMPARE(readSetting(w.store, settings::CopyEmail), QStringLiteral("1"));
        QCOMPARE(readSetting(w.store, settings::UseMyReturn), QStringLiteral("0"));
        QVERIFY(QFile::exists(Autostart::entryPath()));
        // The wizard's autostart box is not a stored setting.
        QCOMPARE(w.store.get(QStringLiteral("Nettlewright"), QStringLiteral("Setup"), QStringLiteral("LoadWithWindows"),
                             QStringLiteral("missing")),
                 QStringLiteral("missing"));
        tick(w.wizard.chkAutoStart);
        QVERIFY(!QFile::exists(Autostart::entryPath()));
    }

private:
    // A click on the box itself: a wide check box does not take clicks right of its caption.
    static void tick(QWidget* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2)); }

    static QWidget* focusTarget(frmFirstTimeSetup& wizard, const QString& name)
    {
        if (name == QLatin1String("txtSMTP"))
            return wizard.txtSMTP;
        if (name == QLatin1String("txtEmail"))
            return wizard.txtEmail;
        if (name == QLatin1String("chkCopy"))
            return wizard.chkCopy;
        if (name == QLatin1String("chkReturnAddress"))
            return wizard.chkReturnAddress;
        if (name == QLatin1String("chkAutoStart"))
            return wizard.chkAutoStart;
        return wizard.hlnkNext;
    }
};

NW_TEST_CLASS(TstWizard)

#include "tst_wizard.moc"
