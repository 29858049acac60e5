#include "intake/Webmail.h"

#include "errors/RuntimeError.h"
#include "header/HostUtils.h"
#include "platform/AppPaths.h"
#include "platform/TextFile.h"

#include <QFile>
#include <QStringList>

namespace nw {

namespace {
constexpr int kMaxWebmailFiles = 100;
}

QString webmailInstructions()
{
    static const QStringList lines = {
        QStringLiteral("Copy the entire message from your webmail window, paste in the message window below and "),
        QStringLiteral("select Save Message.  Your message will be saved and queued in the JunkChute folder to be "),
        QStringLiteral("processed the next time JunkChute monitor is activated."),
        QString(),
        QStringLiteral("Please remember that you need the entire email header for Nettlewright to accurately "),
        QStringLiteral("process the message.  Instructions on obtaining headers from some common web mail "),
        QStringLiteral("applications follow.  If your webmail is not listed here, please see the webmail provider's "
                       "help "),
        QStringLiteral("for more information."),
        QString(),
        QStringLiteral("HOTMAIL"),
        QString(),
        QStringLiteral("To view Internet email headers with Hotmail you must setup your display settings."),
        QString(),
        QStringLiteral("Click on the 'Options' link on the top navigation bar "),
        QStringLiteral("Under 'Additional Options' select 'Mail Display Settings' "),
        QStringLiteral("Under 'Message Headers' choose 'Full' or 'Advanced' "),
        QStringLiteral("To copy header"),
        QString(),
        QStringLiteral("Open the message "),
        QStringLiteral("The Internet email header will be displayed under the Date "),
        QStringLiteral("Triple-click on the Internet email header to select it ALL "),
        QStringLiteral("'Ctrl-C' to copy "),
        QString(),
        QStringLiteral("YAHOO"),
        QString(),
        QStringLiteral("Open the message "),
        QStringLiteral("Choose the 'Full Headers' link located on the right "),
        QStringLiteral("Select the header information by dragging your mouse across the header section "),
        QStringLiteral("Copy with 'Ctrl-C'"),
        QString(),
    };
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QString nextWebmailPath(const QString& folder)
{
    for (int n = 1; n <= kMaxWebmailFiles; ++n) {
        const QString path = AppPaths::join(folder, QStringLiteral("Webmail%1.msg").arg(n));
        if (!FileExists(path))
            return path;
    }
    return QString();
}

WebmailSave saveWebmail(const QString& folder, const QString& text, QString* path)
{
    *path = nextWebmailPath(folder);
    if (path->isEmpty())
        return WebmailSave::AllNamesTaken;
    try {
        TextFile::append(*path, text + QStringLiteral("\r\n"));
    } catch (const RuntimeError&) {
        QFile::remove(*path);
        return WebmailSave::WriteFailed;
    }
    return WebmailSave::Saved;
}

} // namespace nw
