#pragma once

#include <QString>

#include <functional>

namespace nw {

// Whether the machine has a connection to the Internet: the platform's network information where it has
// a backend, otherwise a network interface other than loopback that is up and has an address.
bool IsConnected();

// What the user is told when there is none.
QString noConnectionText();

// Replaces the check (tests); an empty function restores the platform's.
void setConnectionProbe(std::function<bool()> probe);

} // namespace nw
