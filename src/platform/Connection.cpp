#include "platform/Connection.h"

#include "errors/ErrorHandler.h"

#include <QNetworkInformation>
#include <QNetworkInterface>

namespace nw {

namespace {
std::function<bool()> g_probe;

bool interfaceUp()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& i : interfaces) {
        const auto flags = i.flags();
        if (flags.testFlag(QNetworkInterface::IsLoopBack) || !flags.testFlag(QNetworkInterface::IsUp) ||
            !flags.testFlag(QNetworkInterface::IsRunning))
            continue;
        if (!i.addressEntries().isEmpty())
            return true;
    }
    return false;
}

bool platformCheck()
{
    if (QNetworkInformation::instance() || QNetworkInformation::loadDefaultBackend()) {
        const auto* info = QNetworkInformation::instance();
        if (info->supports(QNetworkInformation::Feature::Reachability) &&
            info->reachability() != QNetworkInformation::Reachability::Unknown)
            return info->reachability() == QNetworkInformation::Reachability::Online;
    }
    return interfaceUp();
}
} // namespace

QString noConnectionText()
{
    return QStringLiteral("Nettlewright cannot detect a valid Internet Connection.\r\n"
                          "Please make sure you are connected before proceeding!");
}

bool IsConnected()
{
    return runGuarded("IsConnected", false, [] { return g_probe ? g_probe() : platformCheck(); });
}

void setConnectionProbe(std::function<bool()> probe) { g_probe = std::move(probe); }

} // namespace nw
