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
        // Enter, wherever the keyboard is, acts as "Next".
        void enter(int times)
        {
            for (int i = 0; i < times; ++i)
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &wizard, Qt::Key_Return);
        }
        // The control that takes the keyboard on each page.
        QWidget* focusOf(int page) const
        {
            const QList<QWidget*> controls{wizard.hlnkNext, wizard.txtSMTP,          wizard.txtEmail,
                                           wizard.chkCopy,  wizard.chkReturnAddress, wizard.chkAutoStart};
            return controls.value(page, wizard.hlnkNext);
        }
    };

    // A click on the box itself: a wide check box does not take clicks right of its caption.
    static void tick(QWidget* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2)); }

private slots:
    void pagesMoveTextAndFocus_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("textStart");
        QTest::newRow("page 0") << 0 << u"It appears that Nettlewright has not yet been setup.  "_s;
        QTest::newRow("page 1") << 1 << u"Nettlewright requires an SMTP mail server"_s;
        QTest::newRow("page 2") << 2 << u"Your email address is required"_s;
        QTest::newRow("page 3") << 3 << u"Would you like Nettlewright to send a copy"_s;
        QTest::newRow("page 4") << 4 << u"Would you like to include your return"_s;
        QTest::newRow("page 5") << 5 << u"Would you like Nettlewright to start up"_s;
        QTest::newRow("page 6") << 6 << u"Nettlewright setup is now complete."_s;
        QTest::newRow("page 7") << 7 << u"Thank you for making the effort"_s;
    }
    void pagesMoveTextAndFocus()
    {
        QFETCH(int, page);
        QFETCH(QString, textStart);
        World w;
        w.enter(page);
        QCOMPARE(w.wizard.page(), page);
        QCOMPARE(w.wizard.hlnkPrevious->text(), page ? u"Previous"_s : u"Cancel"_s);
        const QString shown = w.wizard.pages->currentWidget()->findChild<QLabel*>(u"instructions"_s)->text();
        QVERIFY2(shown.startsWith(textStart), qPrintable(shown));
        QTRY_COMPARE(QApplication::focusWidget(), w.focusOf(page));
        if (!page)
            return;
        // Back, the previous page's control takes the keyboard again.
        QTest::mouseClick(w.wizard.hlnkPrevious, Qt::LeftButton);
        QCOMPARE(w.wizard.page(), page - 1);
        QCOMPARE(QApplication::focusWidget(), w.focusOf(page - 1));
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
        w.enter(nexts);
        while (w.wizard.isVisible())
            w.wizard.Previous();
        QCOMPARE(w.wizard.page(), nexts == 8 ? 8 : -1);
        QCOMPARE(w.wizard.result(), result);
    }

    void storesAsTheUserWorks()
    {
        World w;
        w.wizard.Next();
        QTest::keyClicks(w.wizard.txtSMTP, u" mail.example.net"_s);
        w.wizard.Next(); // the server box loses the focus
        QTest::keyClicks(w.wizard.txtEmail, u"me@example.net"_s);
        w.wizard.Next();
        tick(w.wizard.chkCopy);
        w.wizard.Next();
        tick(w.wizard.chkReturnAddress);
        w.wizard.Next();
        tick(w.wizard.chkAutoStart);
        QCOMPARE(readSetting(w.store, settings::Smtp), u" mail.example.net"_s);
        QCOMPARE(readSetting(w.store, settings::ReturnAddress), u"me@example.net"_s);
        QCOMPARE(readSetting(w.store, settings::CopyEmail), u"1"_s);
        QCOMPARE(readSetting(w.store, settings::UseMyReturn), u"0"_s);
        QVERIFY(QFile::exists(Autostart::entryPath()));
        // The wizard's autostart box is not a stored setting.
        QCOMPARE(w.store.get(u"Nettlewright"_s, u"Setup"_s, u"LoadWithWindows"_s, u"missing"_s), u"missing"_s);
        tick(w.wizard.chkAutoStart);
        QVERIFY(!QFile::exists(Autostart::entryPath()));
    }
};

NW_TEST_CLASS(TstWizard)

#include "tst_wizard.moc"
