#include "platform/LocalWait.h"

#include <QTimer>

namespace nw {

void LocalWait::check()
{
    if (!m_done || m_done()) {
        m_woken = true;
        m_loop.quit();
    }
}

bool LocalWait::run(int timeoutMs)
{
    if (m_done && m_done())
        return true;
    m_woken = false;
    QTimer timer;
    timer.setSingleShot(true);
    if (timeoutMs >= 0) {
        QObject::connect(&timer, &QTimer::timeout, &m_loop, &QEventLoop::quit);
        timer.start(timeoutMs);
    }
    m_loop.exec();
    return m_done ? m_done() : m_woken;
}

} // namespace nw
