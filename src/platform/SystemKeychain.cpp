#include "platform/SystemKeychain.h"

#include "platform/AppInfo.h"
#include "platform/LocalWait.h"

#include <qt6keychain/keychain.h>

namespace nw {

namespace {

// QtKeychain often says only "Unknown error"; the code says more.
QString describe(QKeychain::Error code, const QString& text)
{
    switch (code) {
    case QKeychain::NoBackendAvailable:
        return QStringLiteral("no keychain service is running on this desktop");
    case QKeychain::AccessDeniedByUser:
        return QStringLiteral("access to the keychain was refused");
    case QKeychain::AccessDenied:
        return QStringLiteral("the keychain denied access");
    default:
        return QStringLiteral("the keychain service did not work: ") + text;
    }
}

// Runs a QtKeychain job to its end or the bound; false with `error` when it failed or did not finish.
bool runJob(QKeychain::Job& job, int timeoutMs, QString& error, bool missingIsFine)
{
    job.setAutoDelete(false);
    bool finished = false;
    LocalWait wait([&finished] { return finished; });
    QObject::connect(&job, &QKeychain::Job::finished, &job, [&finished] { finished = true; });
    wait.wakeOn(&job, &QKeychain::Job::finished);
    job.start();
    if (!wait.run(timeoutMs)) {
        error = QStringLiteral("the keychain service did not answer");
        return false;
    }
    if (job.error() == QKeychain::NoError || (missingIsFine && job.error() == QKeychain::EntryNotFound)) {
        error.clear();
        return true;
    }
    error = describe(job.error(), job.errorString());
    return false;
}

} // namespace

bool SystemKeychain::read(const QString& key, QString& secret)
{
    QKeychain::ReadPasswordJob job(appTitle());
    job.setKey(key);
    const bool ok = runJob(job, m_timeoutMs, m_error, true);
    secret = ok ? job.textData() : QString();
    return ok;
}

bool SystemKeychain::write(const QString& key, const QString& secret)
{
    if (secret.isEmpty()) {
        QKeychain::DeletePasswordJob job(appTitle());
        job.setKey(key);
        return runJob(job, m_timeoutMs, m_error, true);
    }
    QKeychain::WritePasswordJob job(appTitle());
    job.setKey(key);
    job.setTextData(secret);
    return runJob(job, m_timeoutMs, m_error, false);
}

} // namespace nw
