#pragma once

#include "app/AppState.h"
#include "platform/Resolver.h"
#include "platform/SettingsStore.h"
#include "road/MessageRoad.h"
#include "support/Sandbox.h"
#include "support/SmtpSink.h"

#include <QHash>
#include <QObject>

#include <memory>

namespace nw::test {

// The road of a message on loopback: a drop folder in a sandbox, the given WHOIS tables, WHOIS server names
// sent to loopback ports, the statistics service on the nginx fixture, and the WHOIS delays shortened.
class RoadRig {
public:
    // `whoisPorts`: server name → loopback port of the peer that answers for it.
    RoadRig(const QByteArray& ranges, const QByteArray& servers, const QHash<QString, quint16>& whoisPorts);

    Sandbox box;
    AppState state;
    SettingsStore store;
    TableResolver resolver;
    std::unique_ptr<PlainDropFolder> folder;
    std::unique_ptr<MessageRoad> road;

    // Writes a message file into the drop folder and returns its path.
    QString drop(const QString& name, const QByteArray& bytes) const;
    QStringList files() const { return QDir(state.junkChuteFolder()).entryList(QDir::Files); }
    // The outcome log's lines, each as "path<TAB>outcome".
    static QStringList outcomes();
};

// A test class of the whole road: it needs the nginx fixture, and has a real SMTP server for all its tests.
class RoadTestCase : public QObject {
    Q_OBJECT

protected:
    SmtpSink m_sink;

private slots:
    void initTestCase();
};

} // namespace nw::test
