// Downloads a large file through the update window from a throttled loopback server that breaks the
// connection at 60 %, answers "Retry" for the user, and reports whether the resumed file is
// byte-identical, how long it took, and what the window showed (pictures saved at 30 % and 80 %).
//
//   update_resume [SIZE_MB] [PICTURE_FOLDER]

#include "platform/Prompts.h"
#include "update/frmLiveUpdate.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace nw;

namespace {

// Serves one body at a fixed rate; the first answer stops at `cutAt` bytes, later ones honour Range.
class ThrottledServer : public QObject {
public:
    ThrottledServer(QByteArray body, qint64 cutAt, qint64 bytesPerTick) : m_body(std::move(body)), m_cut(cutAt), m_step(bytesPerTick)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection())
                serve(s);
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    QList<QByteArray> ranges;

private:
    void serve(QTcpSocket* socket)
    {
        socket->setParent(this);
        auto* request = new QByteArray;
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
            *request += socket->readAll();
            if (!request->contains("\r\n\r\n"))
                return;
            qint64 from = 0;
            const qsizetype at = request->indexOf("Range: bytes=");
            if (at >= 0)
                from = request->mid(at + 13, request->indexOf('-', at + 13) - at - 13).toLongLong();
            ranges << QByteArray::number(from);
            const bool first = ranges.size() == 1;
            const qint64 end = first ? m_cut : m_body.size();
            socket->write("HTTP/1.1 206 Partial Content\r\nContent-Length: " + QByteArray::number(m_body.size() - from) +
                          "\r\n\r\n");
            auto* timer = new QTimer(socket);
            auto* next = new qint64(from);
            connect(timer, &QTimer::timeout, socket, [this, socket, timer, next, end] {
                const qint64 n = std::min(m_step, end - *next);
                socket->write(m_body.mid(*next, n));
                *next += n;
                if (*next >= end) {
                    timer->stop();
                    socket->disconnectFromHost();
                }
            });
            timer->start(10);
        });
    }

    QTcpServer m_server;
    QByteArray m_body;
    qint64 m_cut;
    qint64 m_step;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 20;
    const QString pictures = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (!pictures.isEmpty())
        QDir().mkpath(pictures);

    QByteArray body(qsizetype(megabytes) * 1024 * 1024, '\0');
    for (char& c : body)
        c = char(QRandomGenerator::global()->bounded(256));
    // About 5 s for the whole file: 100 ticks a second.
    ThrottledServer server(body, body.size() * 6 / 10, body.size() / 500);

    RecordingPrompts prompts;
    prompts.setNextAnswers({PromptAnswer::Retry});
    ScopedPrompts scope(prompts);

    QTemporaryDir folder;
    frmLiveUpdate window(QStringLiteral("http://127.0.0.1:%1/liveupdate/").arg(server.port()), folder.path());
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.tmrStartDownload.stop();
    const QString target = folder.filePath(QStringLiteral("big.bin"));

    QStringList shots{QStringLiteral("30"), QStringLiteral("80")};
    QTimer snap;
    QObject::connect(&snap, &QTimer::timeout, &window, [&] {
        if (shots.isEmpty() || !window.isVisible())
            return;
        const QString caption = window.windowTitle();
        if (caption.startsWith(shots.first() + QLatin1Char('%'))) {
            if (!pictures.isEmpty())
                window.grab().save(QStringLiteral("%1/update-%2.png").arg(pictures, shots.first()));
            std::printf("at %s%%: caption \"%s\"\n", qPrintable(shots.first()), qPrintable(caption));
            for (QLabel* label : window.findChildren<QLabel*>())
                if (!label->text().isEmpty())
                    std::printf("    %s\n", qPrintable(label->text()));
            shots.removeFirst();
        }
    });
    snap.start(5);

    QElapsedTimer clock;
    clock.start();
    const bool ok = window.liveUpdate().DownloadFile(
        QStringLiteral("http://127.0.0.1:%1/big.bin").arg(server.port()), target, QString(), QString());
    const double seconds = double(clock.elapsed()) / 1000.0;

    QFile file(target);
    const QByteArray got = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    std::printf("%d MB, cut at 60 %%, resumed from byte %s: %s in %.1f s (%.1f MB/s); questions asked: %lld\n",
                megabytes, server.ranges.value(1, "-").constData(),
                ok && got == body ? "byte-identical" : "DIFFERENT", seconds, megabytes / seconds,
                qlonglong(prompts.shown().size()));
    std::printf("sha256 sent %s, received %s\n\n",
                QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex().left(16).constData(),
                QCryptographicHash::hash(got, QCryptographicHash::Sha256).toHex().left(16).constData());
    return 0;
}
