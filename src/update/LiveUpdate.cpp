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
#include <QUrl>
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

// A download whose size the server did not announce (chunked, or up to the close).
constexpr qint64 kUnknownSize = -1;

bool isDottedDigits(const QString& version)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9]+(\\.[0-9]+)*$"));
    return pattern.match(version).hasMatch();
}

// Two runs of digits compared as numbers of any length: "099" equals "99", "1000" is above "999".
int compareNumbers(QStringView a, QStringView b)
{
    while (a.size() > 1 && a.front() == QLatin1Char('0'))
        a = a.sliced(1);
    while (b.size() > 1 && b.front() == QLatin1Char('0'))
        b = b.sliced(1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

// Where a partial answer's bytes start and the size of the whole ("bytes 4096-9999/10000", RFC 9110
// 14.4); the total is -1 when the server wrote "*". False when the field is absent or not of that form.
bool parseContentRange(const QString& field, qint64* first, qint64* total)
{
    static const QRegularExpression pattern(QStringLiteral("^bytes\\s+([0-9]+)-([0-9]+)/([0-9]+|\\*)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = pattern.match(field.trimmed());
    if (!m.hasMatch())
        return false;
    bool ok = false;
    *first = m.captured(1).toLongLong(&ok);
    *total = m.captured(3) == QLatin1String("*") ? -1 : m.captured(3).toLongLong(&ok);
    return ok;
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

    QString timeLeft() const { return size == kUnknownSize ? QStringLiteral("Unknown") : FormatTime(remaining); }
};

LiveUpdate::LiveUpdate(DownloadView& view, QString updateBase, QString folder, Opener open, QObject* parent)
    : QObject(parent), m_view(view), m_base(std::move(updateBase)), m_folder(std::move(folder)),
      m_open(std::move(open))
{
}

bool LiveUpdate::versionIsCurrent(const QString& local, const QString& offered)
{
    if (!isDottedDigits(local) || !isDottedDigits(offered))
        return local >= offered;
    const QStringList a = local.split(QLatin1Char('.'));
    const QStringList b = offered.split(QLatin1Char('.'));
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        // A missing part counts as 0: "1.2" is "1.2.0".
        const int order = compareNumbers(i < a.size() ? QStringView(a.at(i)) : QStringView(u"0"),
                                         i < b.size() ? QStringView(b.at(i)) : QStringView(u"0"));
        if (order != 0)
            return order > 0;
    }
    return true;
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
            if (name == f.at(1) && versionIsCurrent(version, f.at(3)))
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
        // Only a file this run has just downloaded, and over https, is opened: over plain HTTP anyone on
        // the way could have replaced it.
        if (isYes(f.at(5)) && ok && QUrl(m_base).scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0)
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
        // An answer that broke the protocol or its bounds, or TLS that failed: the same would come again.
        if (const QString why = m_http.failure(); !why.isEmpty()) {
            m_view.setStatus(why);
            msgBox(QStringLiteral("The download failed:") + kCr + kCr + why, PromptButtons::Ok, PromptIcon::Critical,
                   kErrorTitle);
            m_cancelled = true;
        }
        if (outcome == Outcome::Again)
            continue;
        if (outcome == Outcome::End || d.size == 0)
            break;
        if (d.size == kUnknownSize ? m_http.bodyComplete() && !m_cancelled : d.received == d.size) {
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
            QStringLiteral("(Approximate time remaining: ") + d.timeLeft() + QStringLiteral(")") + kCr +
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
    // Partial content is only ours when it starts where we asked and belongs to the file begun; without a
    // range the server sent the file from its start.
    qint64 rangeFirst = 0;
    qint64 rangeTotal = kUnknownSize;
    const QString range = m_http.responseHeader(QStringLiteral("Content-Range"));
    const bool rangeFits = code == QLatin1String("206") && (range.isEmpty() || parseContentRange(range, &rangeFirst, &rangeTotal)) &&
                           rangeFirst == d.received &&
                           (d.firstAttempt || rangeTotal < 0 || d.size == kUnknownSize || rangeTotal == d.size);
    if (header == CrLf()) {
        // A failure the transfer can name is reported once the attempt is over.
        if (m_http.failure().isEmpty())
            msgBox(QStringLiteral("Cannot establish connection.") + kCr + kCr +
                       QStringLiteral("Check your Internet connection and try again."),
                   PromptButtons::Ok, PromptIcon::Exclamation, QStringLiteral("Cannot Establish Connection"));
        m_cancelled = true;
    } else if (d.resuming && (code == QLatin1String("200") || (code == QLatin1String("206") && !rangeFits))) {
        QFile::remove(d.partial);
        if (msgBox(QStringLiteral("The server is unable to resume this download.") + kCr + kCr +
                       QStringLiteral("Do you want to continue anyway?"),
                   PromptButtons::YesNo, PromptIcon::Exclamation,
                   QStringLiteral("Unable to Resume Download")) == PromptAnswer::Yes) {
            d.resuming = false;
            d.received = 0;
            d.firstAttempt = true;
            // The whole file came with a 200; a range from elsewhere is asked for again from the start.
            if (code == QLatin1String("206"))
                return Outcome::Again;
        } else {
            m_cancelled = true;
        }
    } else if (code == QLatin1String("200") || (code == QLatin1String("206") && rangeFits)) {
        // the file, or the part asked for
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
        // A range gives the whole file's size; a body without a length is taken as it comes.
        d.size = rangeTotal >= 0 ? rangeTotal : m_http.contentLength();
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
        const QString copied = FormatFileSize(double(d.received));
        if (d.size == kUnknownSize) {
            m_view.setTimeLeft(d.timeLeft() + QStringLiteral(" (") + copied + QStringLiteral(" copied, size unknown)"));
            m_view.setCaption(copied + QStringLiteral(" of ") + fileName + QStringLiteral(" Completed"));
        } else {
            m_view.setTimeLeft(d.timeLeft() + QStringLiteral(" (") + copied + QStringLiteral(" of ") +
                               FormatFileSize(double(d.size)) + QStringLiteral(" copied)"));
            m_view.setCaption(formatNumber(double(d.received) / double(d.size), QStringLiteral("##0%")) +
                              QStringLiteral(" of ") + fileName + QStringLiteral(" Completed"));
        }
        m_view.setRate(FormatFileSize(rate, QStringLiteral("###.0")) + QStringLiteral("/Sec"));
        m_view.setProgress(d.received, d.size);
    } while (chunk.size() > 1);
    file.close();
}

} // namespace nw
