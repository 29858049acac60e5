#pragma once

#include <QString>

namespace nw {

// The read-only instructions of the web-mail window, lines separated by CR LF.
QString webmailInstructions();

// The first free name "Webmail1.msg" … "Webmail100.msg" in `folder`, or empty when all are taken.
QString nextWebmailPath(const QString& folder);

enum class WebmailSave { Saved, AllNamesTaken, WriteFailed };

// Saves pasted text followed by CR LF as the next free web-mail file and sets `path` to it. A file that
// cannot be written is not left behind.
WebmailSave saveWebmail(const QString& folder, const QString& text, QString* path);

} // namespace nw
