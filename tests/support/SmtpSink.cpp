#include "support/SmtpSink.h"

#include "platform/LocalWait.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace nw::test {

SmtpSink::SmtpSink() = default;

SmtpSink::~SmtpSink() { stop(); }

bool SmtpSink::start(const QStringList& options)
{
    m_process.setProgram(QStringLiteral("/usr/bin/python3"));
    m_process.setArguments(QStringList{QStringLiteral(NW_SMTP_SINK_SCRIPT), m_dir.path()} + options);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    LocalWait listening([this] { return m_process.canReadLine() || m_process.state() == QProcess::NotRunning; });
    listening.wakeOn(&m_process, &QProcess::readyReadStandardOutput);
    listening.wakeOn(&m_process, &QProcess::stateChanged);
    if (!listening.run(20000) || !m_process.canReadLine()) {
        m_error = QStringLiteral("the SMTP server did not start: %1").arg(m_process.errorString());
        stop();
        return false;
    }
    const QByteArray line = m_process.readLine().trimmed();
    m_port = line.startsWith("PORT ") ? quint16(line.mid(5).toUInt()) : 0;
    if (m_port == 0)
        m_error = QStringLiteral("the SMTP server said: %1").arg(QString::fromLatin1(line));
    return m_port != 0;
}

void SmtpSink::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel(); // the server stops when its input closes
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QList<SmtpSink::Message> SmtpSink::messages() const
{
    QList<Message> out;
    for (int n = 1;; ++n) {
        QFile f(QDir(m_dir.path()).filePath(QStringLiteral("%1.json").arg(n)));
        if (!f.open(QIODevice::ReadOnly))
            return out;
        const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
        Message m;
        m.helo = o.value(QStringLiteral("helo")).toString();
        m.mailFrom = o.value(QStringLiteral("mail_from")).toString();
        for (const auto& r : o.value(QStringLiteral("rcpt_tos")).toArray())
            m.rcptTos << r.toString();
        m.data = QByteArray::fromBase64(o.value(QStringLiteral("data")).toString().toLatin1());
        out << m;
    }
}

QStringList SmtpSink::authAttempts() const
{
    QFile f(QDir(m_dir.path()).filePath(QStringLiteral("auth.log")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QByteArray maskStamps(const QByteArray& data)
{
    static const QRegularExpression date(
        QStringLiteral("^Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), \\d{1,2} "
                       "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}\r$"),
        QRegularExpression::MultilineOption);
    static const QRegularExpression id(QStringLiteral("^Message-ID: <[0-9a-f-]{36}@[A-Za-z0-9.-]+>\r$"),
                                       QRegularExpression::MultilineOption);
    QString text = QString::fromLatin1(data);
    text.replace(date, QStringLiteral("Date: DATE\r"));
    text.replace(id, QStringLiteral("Message-ID: ID\r"));
    return text.toLatin1();
}

} // namespace nw::test
