#pragma once

#include <QHash>
#include <QString>

namespace nw {

// Where a protocol client really connects for a server name. Empty by default, so every name goes to
// itself; tests and the CLI's --route point names at loopback peers without touching system files.
class EndpointRouter {
public:
    struct Endpoint {
        QString host;
        quint16 port = 0;
    };

    // Sends connections for `name` (compared without regard to case) to `host`:`port`.
    void add(const QString& name, const QString& host, quint16 port);
    // Reads a route written "NAME=HOST:PORT"; returns false and sets `error` when it is malformed.
    bool addRoute(const QString& route, QString* error);

    // The endpoint for `name` and its own `port`: the route when there is one, else the name itself.
    Endpoint endpointFor(const QString& name, quint16 port) const;

private:
    QHash<QString, Endpoint> m_routes; // lower-case name → endpoint
};

} // namespace nw
