#pragma once

#include "header/TextSink.h"
#include "platform/EndpointRouter.h"
#include "road/ComplaintStage.h"
#include "road/Monitor.h"
#include "road/Outcome.h"
#include "road/WhoisStage.h"

#include <QObject>
#include <QSet>

#include <memory>

namespace nw {

class AppState;
class Resolver;
class SettingsStore;

// What processing needs of the drop-folder window: its list and its message view.
class DropFolderView {
public:
    virtual ~DropFolderView() = default;
    // The selected file's name, empty when none is selected.
    virtual QString selectedFile() const = 0;
    // Reads the folder again and returns its files.
    virtual QStringList listFiles() = 0;
    // Selects a file of the list, which shows it as a click does.
    virtual void select(const QString& file) = 0;
    virtual TextSink& messageView() = 0;
    // Empties the message view and reads the folder again, once a message is done with.
    virtual void clearMessage() = 0;
};

// The road of one message, from the drop folder through the WHOIS look-up to the sent complaint: the
// three stages, joined the way their windows are. The message taken on stays the same until its outcome,
// whatever the list shows meanwhile; `finish` is the one place where a message ends.
class MessageRoad : public QObject {
    Q_OBJECT

public:
    MessageRoad(AppState& state, SettingsStore& store, Resolver& resolver, DropFolderView& dropFolder,
                EndpointRouter router = {}, QObject* parent = nullptr);

    WhoisStage whois;
    ComplaintStage complaint;

    // Takes on the selected (or the first) message of the drop folder.
    void cmdProcess_Click();

    // A monitor run starts: messages kept in the last run are tried again.
    void runStarted() { m_failedThisRun.clear(); }
    // The files a monitor run still has to take on: those kept in this run stay aside.
    QStringList waitingFiles(const QStringList& files) const;
    // The message in process, empty when there is none.
    QString messageInProcess() const;
    // The monitor waited too long: the message in process stops where it is and is kept.
    void giveUp(const QString& why);

signals:
    // A message ended (its file deleted or kept, the outcome log written).
    void messageEnded(const QString& file, const Outcome& outcome);

private:
    bool takeOn(const QString& file);
    void finish(const Outcome& outcome);
    void complaintEnded(const Outcome& outcome);

    AppState& m_state;
    Resolver& m_resolver;
    DropFolderView& m_dropFolder;
    QSet<QString> m_failedThisRun;
    std::unique_ptr<MessageClaim> m_message;
    // The header as it was read when the message was taken on.
    QString m_header;
};

// The drop folder without a window (the monitor's view of it in tests and benchmarks): its file list, a
// selection and a plain message view.
class PlainDropFolder : public DropFolderView, public DropFolderProcessing {
public:
    explicit PlainDropFolder(AppState& state) : m_state(state) {}
    void setRoad(MessageRoad* road) { m_road = road; }

    QString selectedFile() const override { return m_selected; }
    QStringList listFiles() override;
    void select(const QString& file) override;
    TextSink& messageView() override { return m_view; }
    void clearMessage() override;

    QStringList refreshFileList() override;
    void processMessage() override;
    void runStarted() override;
    void giveUp(const QString& why) override;

private:
    AppState& m_state;
    MessageRoad* m_road = nullptr;
    QString m_selected;
    StringSink m_view;
};

} // namespace nw
