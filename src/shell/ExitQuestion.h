#pragma once

namespace nw {

// The one question every way out of the program asks; true when the user answers Yes.
bool ExitConfirmed();

} // namespace nw
