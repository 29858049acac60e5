#include "road/MessageRoad.h"

#include "app/AppState.h"
#include "errors/ErrorHandler.h"
#include "header/HostUtils.h"
#include "header/MessageIntake.h"
#include "header/OriginatingIP.h"
#include "header/ReceivedLines.h"
#include "intake/JunkChute.h"
#include "platform/AppPaths.h"

#include <QCoreApplication>

namespace nw {

namespace {
const QString kNoHeader = QStringLiteral("no full header");
const QString kNoAddress = QStringLiteral("no usable originating address");
const QString kReplaced = QStringLiteral("another message was taken up before the complaint was sent");
} // namespace

MessageRoad::MessageRoad(AppState& state, SettingsStore& store, Resolver& resolver, DropFolderView& dropFolder,
                         EndpointRouter router, QObject* parent)
    : QObject(parent), whois(state, store, std::move(router)), complaint(state, store, resolver), m_state(state),
      m_resolver(resolver), m_dropFolder(dropFolder)
{
    complaint.setSource([this] { return ComplaintSource{m_header, whois.Text1(), whois.Text2()}; });
    connect(&whois, &WhoisStage::addressChosen, this, [this](const QString& address) {
        complaint.setTxtTo(address);
        complaint.setTxtCopyTo(m_state.userAddress);
        // By hand the complaint now waits for the user, who may look at other messages meanwhile.
        if (!m_state.monitorActive())
            m_state.setBusyProcessing(false);
    });
    connect(&whois, &WhoisStage::ended, this, &MessageRoad::finish);
    // A complaint for an address typed by hand is about no message of the folder.
    connect(&whois, &WhoisStage::typedLookUp, this, [this] {
        if (m_message)
            finish(Outcome::kept(QStringLiteral("a look-up was typed by hand")));
    });
    connect(&complaint, &ComplaintStage::ended, this, &MessageRoad::complaintEnded);
}

QStringList MessageRoad::waitingFiles(const QStringList& files) const
{
    if (!m_state.monitorActive())
        return files;
    QStringList waiting;
    for (const QString& file : files)
        if (!m_failedThisRun.contains(AppPaths::join(m_state.junkChuteFolder(), file)))
            waiting << file;
    return waiting;
}

QString MessageRoad::messageInProcess() const
{
    return m_message ? m_message->path() : QString();
}

bool MessageRoad::takeOn(const QString& file)
{
    auto claim = std::make_unique<MessageClaim>(AppPaths::join(m_state.junkChuteFolder(), file));
    if (!claim->claim())
        return false;
    m_message = std::move(claim);
    return true;
}

void MessageRoad::cmdProcess_Click()
{
    runGuarded("cmdProcess_Click", [&] {
        if (m_message)
            finish(Outcome::kept(kReplaced));
        whois.setText1(QString());
        whois.setTxtEmailList(QString());
        complaint.setTxtTo(QString());
        complaint.setTxtBody(QString());
        complaint.setTxtCopyTo(QString());
        complaint.setTxtSubject(QString());
        whois.newMessage();
        m_state.setBusyProcessing(true);

        QString selected = m_dropFolder.selectedFile();
        if (waitingFiles({selected}).isEmpty() || !takeOn(selected)) {
            selected.clear();
            // The first waiting message that no other road (the command line's, another copy) has taken.
            for (const QString& file : waitingFiles(m_dropFolder.listFiles()))
                if (takeOn(file)) {
                    selected = file;
                    break;
                }
            if (selected.isEmpty()) {
                m_state.setBusyProcessing(false);
                return;
            }
            m_dropFolder.select(selected);
            QCoreApplication::processEvents();
        }

        m_state.setCurrentMessageFile(m_message->path());
        StringSink header;
        LoadMessageHeader(m_message->path(), header);
        m_header = header.text();
        m_dropFolder.messageView().setText(m_header);
        QCoreApplication::processEvents();
        m_state.setWaitPointer(true);
        const bool fullHeader = analyzeHeader(m_resolver, m_header, m_state.headerAnalysis);
        m_state.setWaitPointer(false);
        QCoreApplication::processEvents();
        if (fullHeader && IsIPAddress(m_state.headerAnalysis.ip)) {
            m_state.setWaitPointer(true);
            QCoreApplication::processEvents();
            whois.lookUpMessage(m_state.headerAnalysis.ip);
            m_state.setWaitPointer(false);
            return; // the message now belongs to the look-up
        }
        const QString why = fullHeader ? kNoAddress : kNoHeader;
        finish(m_state.monitorActive() ? Outcome::nothingToReport(why) : Outcome::kept(why));
        QCoreApplication::processEvents();
    });
}

void MessageRoad::complaintEnded(const Outcome& outcome)
{
    // By hand a complaint that did not go out stays with its message for another attempt.
    if (outcome.kind == Outcome::Kind::Kept && !m_state.monitorActive()) {
        m_state.setBusyProcessing(false);
        return;
    }
    if (outcome.kind == Outcome::Kind::Sent) {
        whois.setText1(QString());
        whois.setTxtEmailList(QString());
    }
    finish(outcome);
}

void MessageRoad::giveUp(const QString& why)
{
    whois.tmrWhois.stop();
    whois.Whois1.stop();
    finish(Outcome::kept(why));
}

void MessageRoad::finish(const Outcome& outcome)
{
    std::unique_ptr<MessageClaim> message = std::move(m_message);
    m_state.setBusyProcessing(false);
    if (!message)
        return;
    const Outcome ended = message->settle(outcome);
    if (ended.kind == Outcome::Kind::Kept) {
        if (m_state.monitorActive())
            m_failedThisRun.insert(message->path());
    } else {
        m_dropFolder.clearMessage();
    }
    emit messageEnded(message->path(), ended);
}

QStringList PlainDropFolder::listFiles()
{
    return junkChuteFiles(m_state.junkChuteFolder());
}

void PlainDropFolder::select(const QString& file)
{
    m_selected = file;
    m_state.setCurrentMessageFile(AppPaths::join(m_state.junkChuteFolder(), file));
    LoadMessageHeader(m_state.currentMessageFile(), m_view);
}

void PlainDropFolder::clearMessage()
{
    m_selected.clear();
    m_view.setText(QString());
}

QStringList PlainDropFolder::refreshFileList()
{
    const QStringList files = listFiles();
    if (!files.contains(m_selected))
        m_selected.clear();
    return m_road ? m_road->waitingFiles(files) : files;
}

void PlainDropFolder::processMessage()
{
    if (m_road)
        m_road->cmdProcess_Click();
}

void PlainDropFolder::runStarted()
{
    if (m_road)
        m_road->runStarted();
}

void PlainDropFolder::giveUp(const QString& why)
{
    if (m_road)
        m_road->giveUp(why);
}

} // namespace nw
