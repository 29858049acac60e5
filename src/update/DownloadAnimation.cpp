#include "update/DownloadAnimation.h"

#include <QPainter>

namespace nw {

namespace {
constexpr int kFrames = 12;
}

DownloadAnimation::DownloadAnimation(QWidget* parent) : QWidget(parent)
{
    setFixedSize(sizeHint());
    m_timer.setInterval(90);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % kFrames;
        update();
    });
}

void DownloadAnimation::start() { m_timer.start(); }

void DownloadAnimation::stop()
{
    m_timer.stop();
    m_frame = 0;
    update();
}

void DownloadAnimation::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette pal = palette();
    // The tray.
    p.setPen(QPen(pal.color(QPalette::WindowText), 2));
    p.drawLine(10, 34, 14, 44);
    p.drawLine(14, 44, 50, 44);
    p.drawLine(50, 44, 54, 34);
    // The document, falling from the top into the tray.
    const int y = 2 + (m_frame * 24) / (kFrames - 1);
    const QRect page(24, y, 16, 20);
    p.setBrush(pal.color(QPalette::Base));
    p.setPen(QPen(pal.color(QPalette::Highlight), 1.5));
    p.drawRect(page);
    for (int line = 0; line < 3; ++line)
        p.drawLine(page.left() + 3, page.top() + 5 + line * 4, page.right() - 3, page.top() + 5 + line * 4);
}

} // namespace nw
