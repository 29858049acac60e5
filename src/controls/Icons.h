#pragma once

#include <QIcon>
#include <QList>

namespace nw {

// The program's icon; the green variant is shown in the tray while messages are processed.
QIcon programIcon(bool green = false);

// The menu's small images, numbered from 1 as the menu refers to them: complaint, drop folder, help,
// about, WHOIS, contact, update, web mail, exit.
QList<QIcon> menuIcons();

} // namespace nw
