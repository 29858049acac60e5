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

MessageRoad::MessageRoad(AppState& state, SettingsStore& store, Resolver& resolver, DropFolderView& dropFolder,
                         EndpointRouter router, QObject* parent)
    : QObject(parent), whois(state, store, std::move(router)), complaint(state, store, resolver), m_state(state),
      m_resolver(resolver), m_dropFolder(dropFolder)
{
    whois.setComplaint(&complaint);
    complaint.setWhois(&whois);
    complaint.setMessageView([this] { return m_dropFolder.messageView().text(); },
                             [this] { m_dropFolder.clearMessage(); });
    connect(&complaint, &ComplaintStage::sendFailed, this, [this](const QString& file) {
        if (m_state.monitorActive())
            m_failedThisRun.insert(file);
    });
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

void MessageRoad::cmdProcess_Click()
{
    runGuarded("cmdProcess_Click", [&] {
        whois.setText1(QString());
        whois.setTxtEmailList(QString());
        complaint.setTxtTo(QString());
        complaint.setTxtBody(QString());
        complaint.setTxtCopyTo(QString());
        complaint.setTxtSubject(QString());
        whois.newMessage();
        m_state.setBusyProcessing(true);

        QString selected = m_dropFolder.selectedFile();
        if (waitingFiles({selected}).isEmpty())
            selected.clear();
        if (selected.isEmpty()) {
            const QStringList files = waitingFiles(m_dropFolder.listFiles());
            if (files.isEmpty()) {
                m_state.setBusyProcessing(false);
                return;
            }
            selected = files.first();
            m_dropFolder.select(selected);
            QCoreApplication::processEvents();
        }

        m_state.setCurrentMessageFile(AppPaths::join(m_state.junkChuteFolder(), selected));
        LoadMessageHeader(m_state.currentMessageFile(), m_dropFolder.messageView());
        QCoreApplication::processEvents();
        m_state.setWaitPointer(true);
        const bool fullHeader = analyzeHeader(m_resolver, m_dropFolder.messageView().text(), m_state.headerAnalysis);
        m_state.setWaitPointer(false);
        QCoreApplication::processEvents();
        if (fullHeader && IsIPAddress(m_state.headerAnalysis.ip)) {
            whois.setText1(m_state.headerAnalysis.ip);
            m_state.setWaitPointer(true);
            QCoreApplication::processEvents();
            whois.Command1_Click();
            m_state.setWaitPointer(false);
            return; // the message now belongs to the look-up
        }
        if (m_state.monitorActive()) {
            Kill(m_state.currentMessageFile());
            m_state.setBusyProcessing(false);
            QCoreApplication::processEvents();
        }
    });
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

} // namespace nw
