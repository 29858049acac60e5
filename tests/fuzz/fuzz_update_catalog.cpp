// The update catalog as the update service sends it: every line is followed as a run follows it, with the
// downloads going to a loopback port that refuses them, and no line may place a file outside the
// program folder.
#include "FuzzSupport.h"

#include "update/LiveUpdate.h"

#include <QDir>
#include <QTcpServer>

NW_FUZZ_TARGET(catalog)
{
    // A loopback address where nothing listens: a port taken from the system and given back at once.
    static const QString base = [] {
        QTcpServer server;
        require(server.listen(QHostAddress::LocalHost));
        return QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
    }();
    const QString folder = programFolder();
    const QString inside = QDir::cleanPath(folder) + QLatin1Char('/');
    for (const QString& line : QString::fromLatin1(catalog).split(QStringLiteral("\r\n"))) {
        const QStringList fields = line.split(QLatin1Char(','));
        const QString destination = fields.size() < 7 ? QString() : LiveUpdate::catalogDestination(fields, folder);
        require(destination.isEmpty() || QDir::cleanPath(destination).startsWith(inside));
    }
    struct : DownloadView {
        void setStatus(const QString&) override {}
        void setSource(const QString&) override {}
        void setDestination(const QString&) override {}
        void setTimeLeft(const QString&) override {}
        void setRate(const QString&) override {}
        void setProgress(qint64, qint64) override {}
        void setCaption(const QString&) override {}
        void startAnimation() override {}
        void stopAnimation() override {}
        void showCentred() override {}
    } view;
    int opened = 0;
    LiveUpdate update(view, base, folder, [&](const QString&) { ++opened; });
    update.transfer().setInactivityTimeout(500);
    writeFile(LiveUpdate::catalogName(), catalog);
    update.ProcessUpdateCatalog();
    // Nothing was downloaded, so nothing may be opened, and the catalog is gone.
    require(opened == 0 && !QFile::exists(AppPaths::join(folder, LiveUpdate::catalogName())));
}
