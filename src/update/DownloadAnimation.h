#pragma once

#include <QTimer>
#include <QWidget>

namespace nw {

// A small picture of a document dropping into a tray, animated while a download runs.
class DownloadAnimation : public QWidget {
    Q_OBJECT

public:
    explicit DownloadAnimation(QWidget* parent = nullptr);
    void start();
    void stop();
    QSize sizeHint() const override { return {64, 48}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer m_timer;
    int m_frame = 0;
};

} // namespace nw
