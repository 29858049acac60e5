#pragma once

#include "update/LiveUpdate.h"

#include <QTimer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace nw {

class DownloadAnimation;

// "Checking Updates": loads off screen, starts half a second later, appears centred while a file
// downloads, and closes itself when the run is over.
class frmLiveUpdate : public QWidget, public DownloadView {
    Q_OBJECT

public:
    frmLiveUpdate(const QString& updateBase, const QString& folder, QWidget* parent = nullptr);

    LiveUpdate& liveUpdate() { return m_update; }
    QTimer tmrStartDownload;

    // DownloadView
    void setStatus(const QString& text) override;
    void setSource(const QString& text) override;
    void setDestination(const QString& text) override;
    void setTimeLeft(const QString& text) override;
    void setRate(const QString& text) override;
    void setProgress(qint64 value, qint64 maximum) override;
    void setCaption(const QString& text) override;
    void startAnimation() override;
    void stopAnimation() override;
    void showCentred() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void tmrStartDownload_Timer();
    void setCompacted(QLabel* label, const QString& text);

    LiveUpdate m_update;
    QLabel* m_status;
    QLabel* m_source;
    QLabel* m_destination;
    QLabel* m_rate;
    QLabel* m_time;
    QProgressBar* m_progress;
    DownloadAnimation* m_animation;
    QPushButton* m_cancel;
    bool m_running = false;
};

} // namespace nw
