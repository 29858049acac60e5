#include "platform/EndpointRouter.h"

namespace nw {

void EndpointRouter::add(const QString& name, const QString& host, quint16 port)
{
    m_routes.insert(name.toLower(), {host, port});
}

bool EndpointRouter::addRoute(const QString& route, QString* error)
{
    const qsizetype equals = route.indexOf(QLatin1Char('='));
    const qsizetype colon = route.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    const uint port = colon > equals ? route.mid(colon + 1).toUInt(&ok) : 0;
    if (equals <= 0 || colon <= equals + 1 || !ok || port == 0 || port > 65535) {
        if (error)
            *error = QStringLiteral("malformed route '%1' (expected NAME=HOST:PORT)").arg(route);
        return false;
    }
    add(route.left(equals), route.mid(equals + 1, colon - equals - 1), quint16(port));
    return true;
}

EndpointRouter::Endpoint EndpointRouter::endpointFor(const QString& name, quint16 port) const
{
    return m_routes.value(name.toLower(), {name, port});
}

} // namespace nw
