#include "controls/Icons.h"

#include <QStringList>

// The icons are compiled into the static library; its resources must be registered by hand.
static void initIconResources() { Q_INIT_RESOURCE(icons); }

namespace nw {

namespace {
QIcon resourceIcon(const QString& name)
{
    static const bool registered = (initIconResources(), true);
    Q_UNUSED(registered);
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}
} // namespace

QIcon programIcon(bool green)
{
    return resourceIcon(green ? QStringLiteral("nettlewright-green") : QStringLiteral("nettlewright"));
}

QList<QIcon> menuIcons()
{
    QList<QIcon> icons;
    for (const char* name :
         {"complaint", "junkchute", "help", "about", "whois", "contact", "update", "webmail", "exit"})
        icons << resourceIcon(QLatin1String(name));
    return icons;
}

} // namespace nw
