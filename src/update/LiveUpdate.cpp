#include "update/LiveUpdate.h"

#include "errors/ErrorHandler.h"
#include "header/Text.h"
#include "platform/AppInfo.h"
#include "platform/AppPaths.h"
#include "platform/DiskSpace.h"
#include "platform/LocalWait.h"
#include "platform/Prompts.h"
#include "platform/TextFile.h"
#include "update/UpdateFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <filesystem>

namespace nw {

using text::CrLf;

namespace {

const QString kCr = QStringLiteral("\r");
const QString kErrorTitle = QStringLiteral("Error Downloading File");
// A download is written beside its destination under this suffix and moved into place only when
// complete, so a broken download never leaves half a program or table where the old one was.
const QString kPartialSuffix = QStringLiteral(".download");

QStringList catalogLines(const QString& text)
{
    // The text ends with CR LF, so the last piece is empty and is not a line.
    QStringList lines = text.split(CrLf());
    lines.removeLast();
    return lines;
}

bool isYes(const QString& field) { return field.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0; }

// A file or folder name the catalog may use: no separators, drive letters or parent references.
bool isPlainName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c.unicode() < 32)
            return false;
    return true;
}

// The number at the start of a text, 0 when there is none.
qint64 leadingNumber(const QString& text)
{
    const QString t = text.trimmed();
    qsizetype n = 0;
    while (n < t.size() && t.at(n).isDigit())
        ++n;
    return t.left(n).toLongLong();
}

} // namespace

struct LiveUpdate::Download {
    QString address;
    QString saveAs;
    QString partial;
    QString userName;
    QString password;
    bool resuming = false;
    bool firstAttempt = true;
    bool writing = false; // from the folder creation on, failures are write failures
    qint64 received = 0;
    qint64 size = 0;
    QDateTime start;
    double remaining = 0;
};

LiveUpdate::LiveUpdate(DownloadView& view, QString updateBase, QString folder, Opener open, QObject* parent)
    : QObject(parent), m_view(view), m_base(std::move(updateBase)), m_folder(std::move(folder)),
      m_open(std::move(open))
{
}

QString LiveUpdate::catalogName() { return appTitle() + QStringLiteral(".upd"); }
QString LiveUpdate::openListName() { return QStringLiteral("execat.upd"); }

UpdateList LiveUpdate::BuildUpdateList()
{
    UpdateList list(16);
    list[0] = {QStringLiteral("nettlewright.exe"),
               QStringLiteral("%1%2%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision)};
    const QStringList tables{QStringLiteral("whois.rir"), QStringLiteral("whois.srv")};
    for (int row = 1; row <= 2; ++row) {
        const QString name = tables.at(row - 1);
        QString version;
        QFile file(AppPaths::dataFile(name));
        if (file.open(QIODevice::ReadOnly)) {
            QString first = QString::fromLatin1(file.readLine());
            while (first.endsWith(QLatin1Char('\n')) || first.endsWith(QLatin1Char('\r')))
                first.chop(1);
            if (first.startsWith(QLatin1Char('#')))
                version = first.right(3);
        }
        list[row] = {name, version};
    }
    return list;
}

void LiveUpdate::run()
{
    m_updateList = BuildUpdateList();
    if (GetUpdateCatalog())
        ProcessUpdateCatalog();
}

bool LiveUpdate::GetUpdateCatalog()
{
    const bool ok = runGuarded("GetUpdateCatalog", false, [&] {
        return DownloadFile(m_base + catalogName(), AppPaths::join(m_folder, catalogName()), QString(), QString());
    });
    if (!ok)
        emit finished();
    return ok;
}

QString LiveUpdate::catalogDestination(const QStringList& fields, const QString& folder)
{
    const QString& name = fields.at(1);
    const QString& where = fields.at(2);
    if (!isPlainName(name))
        return QString();
    if (where.compare(QLatin1String("app"), Qt::CaseInsensitive) == 0)
        return AppPaths::join(folder, name);
    // No folder is assigned to these; following them would write to a previous line's path.
    if (where.compare(QLatin1String("windows"), Qt::CaseInsensitive) == 0 ||
        where.compare(QLatin1String("system"), Qt::CaseInsensitive) == 0)
        return QString();
    const QStringList parts = where.split(QRegularExpression(QStringLiteral("[/\\\\]")));
    for (const QString& part : parts)
        if (!isPlainName(part))
            return QString();
    return AppPaths::join(AppPaths::join(folder, parts.join(QLatin1Char('/'))), name);
}

void LiveUpdate::ProcessUpdateCatalog()
{
    const QString catalog = AppPaths::join(m_folder, catalogName());
    if (!QFile::exists(catalog))
        return;
    QStringList lines;
    try {
        lines = catalogLines(TextFile::read(catalog));
    } catch (const RuntimeError&) {
        lines.clear();
    }
    for (const QString& line : lines) {
        const QStringList f = line.split(QLatin1Char(','));
        const QString destination = f.size() >= 7 ? catalogDestination(f, m_folder) : QString();
        if (destination.isEmpty()) {
            msgBox(QStringLiteral("The update catalog has a line that cannot be followed safely; it was skipped:") +
                       CrLf() + line,
                   PromptButtons::Ok, PromptIcon::Exclamation, QStringLiteral("Checking Updates"));
            continue;
        }
        bool current = false;
        for (const auto& [name, version] : m_updateList)
            if (name == f.at(1) && version >= f.at(3))
                current = true;
        if (current)
            continue;
        if (isYes(f.at(4)) && msgBox(f.at(6) + CrLf() + QStringLiteral("Download Update?"), PromptButtons::YesNo,
                                     PromptIcon::None, QStringLiteral("Download Update")) == PromptAnswer::No)
            continue;
        const bool ok = DownloadFile(m_base + f.at(0), destination, QString(), QString());
        QCoreApplication::processEvents();
        if (ok)
            m_downloaded.insert(destination);
        // Only a file this run has just downloaded is opened.
        if (isYes(f.at(5)) && ok)
            AddtoExecute(destination);
    }
    QFile::remove(catalog);
    LocalWait idle([&] { return !m_http.stillExecuting(); });
    idle.wakeOn(&m_http, &HttpTransfer::headersReceived);
    idle.run(30000);

    const QString openList = AppPaths::join(m_folder, openListName());
    if (QFile::exists(openList)) {
        QStringList paths;
        try {
            paths = catalogLines(TextFile::read(openList));
        } catch (const RuntimeError&) {
            paths.clear();
        }
        for (const QString& path : paths)
            if (m_downloaded.contains(path))
                OpenUpdateFile(path);
        QFile::remove(openList);
    }
    emit finished();
}

void LiveUpdate::AddtoExecute(const QString& path)
{
    try {
        TextFile::append(AppPaths::join(m_folder, openListName()), path + CrLf());
    } catch (const RuntimeError&) {
        // Nothing to open then; the download itself is in place.
    }
}

void LiveUpdate::OpenUpdateFile(const QString& path)
{
    runGuarded("OpenUpdateFile", [&] { m_open(path); });
}

void LiveUpdate::cancel()
{
    m_view.setStatus(QStringLiteral("Cancelling..."));
    m_view.stopAnimation();
    m_cancelled = true;
    // Stop the transfer too: a read waiting for data that never comes would otherwise never reach
    // the check that ends the download.
    m_http.cancel();
    emit cancelRequested();
}

bool LiveUpdate::DownloadFile(const QString& address, const QString& saveAs, const QString& userName,
                              const QString& password)
{
    m_cancelled = false;
    bool success = false;
    Download d;
    d.address = address;
    d.saveAs = saveAs;
    d.partial = saveAs + kPartialSuffix;
    d.userName = userName;
    d.password = password;
    m_view.setTimeLeft(QString());
    m_view.setRate(QString());
    m_view.startAnimation();
    m_view.showCentred();

    for (;;) {
        Outcome outcome = Outcome::Continue;
        try {
            outcome = attempt(d);
        } catch (const RuntimeError& e) {
            if (d.writing) {
                msgBox(QStringLiteral("Cannot write file to disk.") + kCr + kCr + QStringLiteral("Error ") +
                           QString::number(e.number()) + QStringLiteral(": ") + e.description(),
                       PromptButtons::Ok, PromptIcon::Critical, kErrorTitle);
                m_cancelled = true;
            } else if (e.number() != 9) {
                msgBox(QStringLiteral("Error: ") + e.description() + QStringLiteral(" occurred."), PromptButtons::Ok,
                       PromptIcon::Critical, kErrorTitle);
            }
        }
        if (outcome == Outcome::End || d.size == 0)
            break;
        if (d.received == d.size) {
            m_view.setStatus(QStringLiteral("Download completed!"));
            success = true;
            break;
        }
        if (!QFile::exists(d.partial))
            m_cancelled = true;
        if (m_cancelled)
            break;
        const QString question =
            QStringLiteral("The connection with the server was reset.") + kCr + kCr +
            QStringLiteral("Click \"Retry\" to resume downloading the file.") + kCr +
            QStringLiteral("(Approximate time remaining: ") + FormatTime(d.remaining) + QStringLiteral(")") + kCr +
            kCr + QStringLiteral("Click \"Cancel\" to cancel downloading the file.");
        if (msgBox(question, PromptButtons::RetryCancel, PromptIcon::Exclamation,
                   QStringLiteral("Download Incomplete")) != PromptAnswer::Retry)
            break;
        d.resuming = true;
    }

    m_view.stopAnimation();
    m_http.cancel();
    if (success) {
        std::error_code ec;
        std::filesystem::rename(QFile::encodeName(d.partial).toStdString(), QFile::encodeName(saveAs).toStdString(),
                                ec);
        if (ec) {
            msgBox(QStringLiteral("Cannot write file to disk.") + kCr + kCr + QStringLiteral("Error 75: ") +
                       RuntimeError::standardErrorText(75),
                   PromptButtons::Ok, PromptIcon::Critical, kErrorTitle);
            success = false;
        }
    }
    if (!success)
        QFile::remove(d.partial);
    return success;
}

LiveUpdate::Outcome LiveUpdate::attempt(Download& d)
{
    if (d.resuming) {
        m_view.setStatus(QStringLiteral("Resuming download..."));
        d.received = std::max<qint64>(0, d.received - 4096);
    } else {
        m_view.setStatus(QStringLiteral("Getting file information..."));
        d.received = 0;
    }
    m_http.setUserName(d.userName);
    m_http.setPassword(d.password);
    m_http.execute(d.address, QStringLiteral("GET"), {},
                   QStringLiteral("Range: bytes=%1-").arg(d.received) + CrLf());
    LocalWait wait([&] { return !m_http.stillExecuting() || m_cancelled; });
    wait.wakeOn(&m_http, &HttpTransfer::headersReceived);
    wait.wakeOn(this, &LiveUpdate::cancelRequested);
    wait.run(120000); // the transfer's own inactivity bound normally ends a silent request first
    if (m_cancelled)
        return Outcome::End;

    m_view.setStatus(QStringLiteral("Saving:"));
    m_view.setSource(ReturnFileOrFolder(d.address, true, true) + QStringLiteral(" from ") + m_http.remoteHost());
    m_view.setDestination(d.saveAs);

    const QString header = m_http.responseHeaders();
    const QString code = header.mid(9, 3);
    if (header == CrLf()) {
        msgBox(QStringLiteral("Cannot establish connection.") + kCr + kCr +
                   QStringLiteral("Check your Internet connection and try again."),
               PromptButtons::Ok, PromptIcon::Exclamation, QStringLiteral("Cannot Establish Connection"));
        m_cancelled = true;
    } else if (code == QLatin1String("200")) {
        if (d.resuming) {
            QFile::remove(d.partial);
            if (msgBox(QStringLiteral("The server is unable to resume this download.") + kCr + kCr +
                           QStringLiteral("Do you want to continue anyway?"),
                       PromptButtons::YesNo, PromptIcon::Exclamation,
                       QStringLiteral("Unable to Resume Download")) == PromptAnswer::Yes) {
                d.resuming = false;
                d.received = 0;
                d.firstAttempt = true;
            } else {
                m_cancelled = true;
            }
        }
    } else if (code == QLatin1String("206")) {
        // partial content for a resume
    } else if (code == QLatin1String("204")) {
        msgBox(QStringLiteral("Nothing to download!"), PromptButtons::Ok, PromptIcon::Information,
               QStringLiteral("No Content"));
        m_cancelled = true;
    } else if (code == QLatin1String("401")) {
        msgBox(QStringLiteral("Authorization failed!"), PromptButtons::Ok, PromptIcon::Critical,
               QStringLiteral("Unauthorized"));
        m_cancelled = true;
    } else if (code == QLatin1String("404")) {
        m_cancelled = true;
    } else {
        QString first = header.left(header.indexOf(QLatin1Char('\r')));
        if (first.isEmpty())
            first = QStringLiteral("<nothing>");
        msgBox(QStringLiteral("The server returned the following response:") + kCr + kCr + first, PromptButtons::Ok,
               PromptIcon::Critical, kErrorTitle);
        m_cancelled = true;
    }
    if (m_cancelled)
        return Outcome::Continue;

    if (d.firstAttempt) {
        d.firstAttempt = false;
        d.start = QDateTime::currentDateTime().addSecs(-1);
        d.size = leadingNumber(m_http.responseHeader(QStringLiteral("Content-Length")));
        if (d.size == 0)
            return Outcome::End;
    }
    const double free = DiskFreeSpace(d.saveAs);
    if (free >= 0 && free < double(d.size)) {
        msgBox(QStringLiteral("There is not enough free space on disk for this file.") + kCr + kCr +
                   QStringLiteral("Please free up some disk space and try again."),
               PromptButtons::Ok, PromptIcon::Critical, QStringLiteral("Insufficient Disk Space"));
        return Outcome::End;
    }
    m_view.setProgress(0, d.size);
    receive(d);
    return Outcome::Continue;
}

void LiveUpdate::receive(Download& d)
{
    d.writing = true;
    const QFileInfo target(d.saveAs);
    if (!target.dir().exists() && !QDir().mkdir(target.absolutePath()))
        throw RuntimeError(76);
    QFile file(d.partial);
    if (!file.open(d.resuming ? QIODevice::ReadWrite : QIODevice::WriteOnly | QIODevice::Truncate))
        throw RuntimeError(75);
    if (d.resuming && !file.seek(d.received))
        throw RuntimeError(57);
    const QString fileName = target.fileName();
    QByteArray chunk;
    do {
        chunk = m_http.getChunk(1024);
        if (file.write(chunk) != chunk.size())
            throw RuntimeError(61);
        if (m_cancelled)
            break;
        d.received += chunk.size();
        const double elapsed = double(d.start.msecsTo(QDateTime::currentDateTime())) / 1000.0;
        const double rate = elapsed > 0 ? double(d.received) / elapsed : 0;
        // With nothing received yet there is no estimate; keep the last one.
        if (rate > 0)
            d.remaining = double(d.size - d.received) / rate;
        m_view.setTimeLeft(FormatTime(d.remaining) + QStringLiteral(" (") + FormatFileSize(double(d.received)) +
                           QStringLiteral(" of ") + FormatFileSize(double(d.size)) + QStringLiteral(" copied)"));
        m_view.setRate(FormatFileSize(rate, QStringLiteral("###.0")) + QStringLiteral("/Sec"));
        m_view.setProgress(d.received, d.size);
        m_view.setCaption(formatNumber(double(d.received) / double(d.size), QStringLiteral("##0%")) +
                          QStringLiteral(" of ") + fileName + QStringLiteral(" Completed"));
    } while (chunk.size() > 1);
    file.close();
}

} // namespace nw
