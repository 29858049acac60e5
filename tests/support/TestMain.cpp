#include "support/TestMain.h"

#ifdef QT_WIDGETS_LIB
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif
#include <QTest>

// Runs every registered class; "-class NAME" picks one, other arguments go to QTest.
int main(int argc, char** argv)
{
    TestApplication app(argc, argv);
    QStringList args = app.arguments();
    const auto at = args.indexOf(QStringLiteral("-class"));
    const QString only = at > 0 && at + 1 < args.size() ? args.takeAt(at + 1) : QString();
    if (!only.isEmpty())
        args.removeAt(at);
    int failed = 0;
    for (const auto& [name, factory] : nw::test::testClasses())
        if (only.isEmpty() || only == QLatin1String(name))
            failed += QTest::qExec(factory().get(), args);
    return failed == 0 ? 0 : 1;
}
