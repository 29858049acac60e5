#pragma once

#include <QString>

namespace nw {

// Where the desktop session finds the programs it starts at log-on. On Linux this is the XDG autostart
// folder; the program's entry is parked beside it under a name the session ignores when disabled. On
// Windows it is the user's own Run key, which needs no administrator rights, parked in "Run-".
namespace Autostart {
QString folder();
// Tests keep the entries in a folder of their own.
void setFolder(const QString& folder);
QString entryPath();
QString parkedPath();
// The executable the entry starts: its full file name in the program folder.
QString executable();
// The Exec value of a desktop entry that starts `program` with no arguments: quoted and escaped as the
// freedesktop.org desktop entry format says, so no character of the path is taken for a field code, an escape or a
// separator.
QString desktopExec(const QString& program);
// The Run value that starts `program` on Windows: its full path in quotes, so that a path with blanks is
// not taken for a shorter program and its arguments.
QString runValue(const QString& program);
} // namespace Autostart

// The words for starting at log-on: Windows keeps its own, other desktops say what they do.
namespace AutostartText {
QString panelCaption();   // the settings panel's check box
QString wizardCaption();  // the wizard's check box
QString wizardQuestion(); // the wizard's page about it
} // namespace AutostartText

// Makes the desktop session start the program at log-on (true) or stops it doing so (false). Like the
// registry calls it stands for, it reports nothing: a folder that cannot be written leaves things as they were.
void LoadOnStartup(bool enable);

} // namespace nw
