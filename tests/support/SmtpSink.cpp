#include "support/SmtpSink.h"

#include "platform/LocalWait.h"
#include "support/Files.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace nw::test {

bool SmtpSink::start(const QStringList& options)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(u"/usr/bin/python3"_s, QStringList{QStringLiteral(NW_SMTP_SINK_SCRIPT), m_dir.path()} + options);
    LocalWait listening([this] { return m_process.canReadLine() || m_process.state() == QProcess::NotRunning; });
    listening.wakeOn(&m_process, &QProcess::readyReadStandardOutput);
    listening.wakeOn(&m_process, &QProcess::stateChanged);
    if (!listening.run(20000) || !m_process.canReadLine()) {
        m_error = u"the SMTP server did not start: "_s + m_process.errorString();
        stop();
        return false;
    }
    const QByteArray line = m_process.readLine().trimmed();
    m_port = line.startsWith("PORT ") ? quint16(line.mid(5).toUInt()) : 0;
    if (m_port == 0)
        m_error = u"the SMTP server said: "_s + QString::fromLatin1(line);
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
        const QByteArray json = fileBytes(m_dir.filePath(u"%1.json"_s.arg(n)));
        if (json.isEmpty())
            return out;
        const QJsonObject o = QJsonDocument::fromJson(json).object();
        out << Message{o.value(u"helo").toString(), o.value(u"mail_from").toString(),
                       o.value(u"rcpt_tos").toVariant().toStringList(),
                       QByteArray::fromBase64(o.value(u"data").toString().toLatin1())};
    }
}

QStringList SmtpSink::authAttempts() const
{
    return QString::fromUtf8(fileBytes(m_dir.filePath(u"auth.log"_s))).split(u'\n', Qt::SkipEmptyParts);
}

QByteArray maskStamps(const QByteArray& data)
{
    static const QRegularExpression date(
        u"^Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), \\d{1,2} (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
        "\\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}\r$"_s,
        QRegularExpression::MultilineOption);
    static const QRegularExpression id(u"^Message-ID: <[0-9a-f-]{36}@[A-Za-z0-9.-]+>\r$"_s,
                                       QRegularExpression::MultilineOption);
    return QString::fromLatin1(data).replace(date, u"Date: DATE\r"_s).replace(id, u"Message-ID: ID\r"_s).toLatin1();
}

} // namespace nw::test
