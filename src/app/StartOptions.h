#pragma once

#include "platform/EndpointRouter.h"

#include <QStringList>

namespace nw {

// The desktop program's command line. Read before any window exists, so that --help works without a display.
struct StartOptions {
    EndpointRouter router;
    // Start hidden in the notification area with the monitor on, as an autostart entry does.
    bool monitor = false;
    bool help = false;
    bool version = false;
    // Set when the command line cannot be used.
    QString error;
};

// `args` without the program's name. Options with one dash are Qt's own (-platform, -display) and left to it.
StartOptions parseStartOptions(const QStringList& args);
QString startUsage();

} // namespace nw
