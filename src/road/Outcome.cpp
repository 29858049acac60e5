#include "road/Outcome.h"

#include "app/AppState.h"
#include "errors/ErrorHandler.h"
#include "errors/RuntimeError.h"
#include "header/HostUtils.h"
#include "platform/Prompts.h"
#include "platform/TextFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

namespace nw {

namespace {
struct Fingerprint {
    qint64 size = -1;
    QDateTime modified;
    QByteArray digest;
};

Fingerprint fingerprint(const QString& path)
{
    Fingerprint print;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return print;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    print.size = file.size();
    print.modified = QFileInfo(path).lastModified();
    print.digest = hash.result();
    return print;
}
} // namespace

QString Outcome::kindText() const
{
    switch (kind) {
    case Kind::Sent:
        return QStringLiteral("sent");
    case Kind::NothingToReport:
        return QStringLiteral("nothing to report");
    case Kind::Kept:
        break;
    }
    return QStringLiteral("kept");
}

MessageClaim::MessageClaim(const QString& path)
    : m_path(path), m_lock(std::make_unique<QLockFile>(claimPath(path)))
{
    // A claim is stale only when its process is gone, however long a message takes.
    m_lock->setStaleLockTime(0);
}

MessageClaim::~MessageClaim() = default;

QString MessageClaim::claimPath(const QString& messageFile)
{
    const QFileInfo info(messageFile);
    // A leading dot hides it from the drop folder's list.
    return info.dir().filePath(QLatin1Char('.') + info.fileName() + QStringLiteral(".claim"));
}

QString MessageClaim::changedText()
{
    return QStringLiteral("the file changed while it was processed");
}

bool MessageClaim::claim()
{
    // A claim left by a road that died is taken over: QLockFile checks its process.
    if (!m_lock->tryLock(0))
        return false;
    const Fingerprint print = fingerprint(m_path);
    if (print.size < 0) {
        m_lock->unlock();
        return false;
    }
    m_size = print.size;
    m_modified = print.modified;
    m_digest = print.digest;
    return true;
}

bool MessageClaim::unchanged() const
{
    const Fingerprint now = fingerprint(m_path);
    return now.size == m_size && now.modified == m_modified && now.digest == m_digest;
}

Outcome MessageClaim::settle(Outcome outcome)
{
    if (outcome.kind != Outcome::Kind::Kept) {
        const QString done = outcome.kind == Outcome::Kind::Sent ? QStringLiteral("sent to ") + outcome.detail
                                                                 : outcome.detail;
        if (!unchanged()) {
            outcome = Outcome::kept(changedText() + QStringLiteral(" (") + done + QLatin1Char(')'));
        } else {
            try {
                Kill(m_path);
            } catch (const RuntimeError& e) {
                outcome = Outcome::kept(done + QStringLiteral(", but the file could not be deleted: ") +
                                        e.description());
            }
        }
    }
    try {
        TextFile::append(outcomeLogPath(), QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) +
                                               QLatin1Char('\t') + m_path + QLatin1Char('\t') + outcome.kindText() +
                                               QLatin1Char('\t') + outcome.detail + QStringLiteral("\r\n"));
    } catch (const RuntimeError&) {
        // A log that cannot be written must not undo what happened to the message.
    }
    m_lock->unlock();
    return outcome;
}

void tellUser(AppState& state, const QString& text)
{
    if (!state.monitorActive()) {
        msgBox(text);
        return;
    }
    WriteErrorLog(text);
    state.notify(text);
}

} // namespace nw
