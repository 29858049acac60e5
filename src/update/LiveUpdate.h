#pragma once

#include "platform/HttpTransfer.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <functional>
#include <utility>

namespace nw {

// What the download window shows while LiveUpdate works.
class DownloadView {
public:
    virtual ~DownloadView() = default;
    virtual void setStatus(const QString& text) = 0;
    virtual void setSource(const QString& text) = 0;      // the view compacts it to its label
    virtual void setDestination(const QString& text) = 0; // likewise
    virtual void setTimeLeft(const QString& text) = 0;
    virtual void setRate(const QString& text) = 0;
    virtual void setProgress(qint64 value, qint64 maximum) = 0; // maximum -1: size unknown
    virtual void setCaption(const QString& text) = 0;
    virtual void startAnimation() = 0;
    virtual void stopAnimation() = 0;
    virtual void showCentred() = 0;
};

// Local file names and their version texts: the program and the two tables, then empty rows.
using UpdateList = QList<std::pair<QString, QString>>;

// Fetching newer program and table files from the vendor's update service: the catalog, the resumable
// downloads with their progress and questions, and opening what the catalog asks to open.
class LiveUpdate : public QObject {
    Q_OBJECT

public:
    using Opener = std::function<void(const QString& path)>;

    // `folder` takes the catalog and everything downloaded: the user's writable copy of the program folder.
    LiveUpdate(DownloadView& view, QString updateBase, QString folder, Opener open, QObject* parent = nullptr);

    // The versions of the program and of the tables it reads (a fetched table in place of the shipped one).
    static UpdateList BuildUpdateList();
    static QString catalogName(); // "Nettlewright.upd"
    static QString openListName(); // "execat.upd"
    // Where the catalog line with these fields (at least seven) puts its file inside `folder`; empty
    // for a line that cannot be followed safely.
    static QString catalogDestination(const QStringList& fields, const QString& folder);
    // Whether the local version text needs no update to the offered one: dotted numbers ("2.10", "099")
    // compare part by part as numbers, any other text character by character.
    static bool versionIsCurrent(const QString& local, const QString& offered);

    // The whole run: the list, the catalog, the downloads, the files to open; then finished().
    void run();
    bool GetUpdateCatalog();
    void ProcessUpdateCatalog();
    // One download into `saveAs`, resuming after a broken connection when the user asks to.
    bool DownloadFile(const QString& address, const QString& saveAs, const QString& userName,
                      const QString& password);
    // The Cancel button or Esc.
    void cancel();

    const UpdateList& updateList() const { return m_updateList; }
    HttpTransfer& transfer() { return m_http; }

signals:
    void finished();
    void cancelRequested();

private:
    struct Download;
    // Continue: the attempt ran its course; End: stop without asking; Again: request anew at once.
    enum class Outcome { Continue, End, Again };
    Outcome attempt(Download& d);
    void receive(Download& d);
    void AddtoExecute(const QString& path);
    void OpenUpdateFile(const QString& path);

    DownloadView& m_view;
    HttpTransfer m_http;
    QString m_base;
    QString m_folder;
    Opener m_open;
    UpdateList m_updateList;
    QSet<QString> m_downloaded; // only these may be opened
    bool m_cancelled = false;
};

} // namespace nw
