#pragma once

#include "header/HeaderAnalysis.h"

#include <QObject>

namespace nw {

// The program-wide values that carry a message from one window to the next. Created once by Main and
// passed by reference; its signals let windows and the monitor follow changes without polling.
class AppState : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    HeaderAnalysis headerAnalysis;

    QString junkChuteFolder() const { return m_junkChuteFolder; }
    void setJunkChuteFolder(const QString& folder) { m_junkChuteFolder = folder; }

    QString currentMessageFile() const { return m_currentMessageFile; }
    void setCurrentMessageFile(const QString& path) { m_currentMessageFile = path; }

    bool busyProcessing() const { return m_busyProcessing; }
    void setBusyProcessing(bool busy);

    bool monitorActive() const { return m_monitorActive; }
    void setMonitorActive(bool active);

    // Copies of the "SMTP" and "ReturnAddress" settings for the error dialog.
    QString smtpServer;
    QString userAddress;
    QString supportAddress;

    // The hourglass for the whole program: logic asks for it, the desktop program shows it.
    void setWaitPointer(bool wait) { emit waitPointerRequested(wait); }
    // Tells the user of a failure without a dialog that would stop the monitor (the tray tip shows it).
    void notify(const QString& text) { emit notice(text); }

signals:
    void busyProcessingChanged(bool busy);
    void monitorActiveChanged(bool active);
    void waitPointerRequested(bool wait);
    void notice(const QString& text);

private:
    QString m_junkChuteFolder;
    QString m_currentMessageFile;
    bool m_busyProcessing = false;
    bool m_monitorActive = false;
};

} // namespace nw
