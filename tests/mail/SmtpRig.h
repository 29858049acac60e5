#pragma once

#include "mail/SMTP.h"

#include <QObject>
#include <QStringList>

namespace nw::test {

// The client's Status and Error events, in order, as "Status: ..." and "Error: ...".
class EventLog {
public:
    explicit EventLog(SMTP& smtp)
    {
        QObject::connect(&smtp, &SMTP::Status, &m_context,
                         [this](const QString& t) { events << QStringLiteral("Status: ") + t; });
        QObject::connect(&smtp, &SMTP::Error, &m_context,
                         [this](const QString& t) { events << QStringLiteral("Error: ") + t; });
    }
    QStringList events;
    QStringList errors() const { return events.filter(QStringLiteral("Error: ")); }

private:
    QObject m_context; // the connections end with the log
};

// A message from me@example.org to abuse@example.net through the loopback server on this port.
inline void address(SMTP& smtp, quint16 port)
{
    smtp.Server = QStringLiteral("127.0.0.1");
    smtp.Port = QString::number(port);
    smtp.MailFrom = QStringLiteral("me@example.org");
    smtp.MailTo = QStringLiteral("abuse@example.net");
}

} // namespace nw::test
