#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <memory>

class QLockFile;

namespace nw {

class AppState;

// How the road ended one message: a complaint the server accepted, nothing to report (and why), or the file
// kept for a later run (and why). Every message taken on ends in exactly one.
struct Outcome {
    enum class Kind { Sent, NothingToReport, Kept };
    Kind kind = Kind::Kept;
    // The recipient of a sent complaint; otherwise why.
    QString detail;

    static Outcome sent(const QString& recipient) { return {Kind::Sent, recipient}; }
    static Outcome nothingToReport(const QString& why) { return {Kind::NothingToReport, why}; }
    static Outcome kept(const QString& why) { return {Kind::Kept, why}; }
    // "sent", "nothing to report" or "kept", as the outcome log writes it.
    QString kindText() const;
};

// One message file taken on by a road (the desktop program's or the command line's): a claim file beside it keeps
// every other road off it meanwhile, and what it held when read is kept so that a file replaced meanwhile is not
// deleted. `settle` is the one place that deletes or keeps a message file.
class MessageClaim {
public:
    explicit MessageClaim(const QString& path);
    ~MessageClaim();

    // False when another road holds the file (or it cannot be read).
    bool claim();
    QString path() const { return m_path; }
    // Deletes the file when the outcome allows and the file is as it was read, keeps it otherwise, appends the
    // outcome log's line and gives up the claim. Returns the outcome as it really ended.
    Outcome settle(Outcome outcome);

    // The hidden claim file beside `messageFile`; the drop folder's list leaves it out.
    static QString claimPath(const QString& messageFile);
    static QString changedText();

private:
    bool unchanged() const;

    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    qint64 m_size = -1;
    QDateTime m_modified;
    QByteArray m_digest;
};

// Shows `text` in a message box, or, under the monitor where nobody would close one, in the tray tip and the
// error log.
void tellUser(AppState& state, const QString& text);

} // namespace nw
