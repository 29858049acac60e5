#pragma once

#include <QEventLoop>
#include <QObject>

#include <functional>

namespace nw {

// A wait that lets pending events run and uses no CPU: a local event loop that re-checks its
// condition whenever one of the signals it was told about fires, and gives up after a bound.
class LocalWait {
public:
    explicit LocalWait(std::function<bool()> done = {}) : m_done(std::move(done)) {}

    // Re-check the condition (or, without one, end the wait) when `signal` fires.
    template <typename Sender, typename Signal> void wakeOn(const Sender* sender, Signal signal)
    {
        QObject::connect(sender, signal, &m_loop, [this] { check(); });
    }

    // Returns true when the condition holds (without a condition: a woken wait), false on time-out.
    // A negative timeout waits without a bound; callers that talk to a network never pass one.
    bool run(int timeoutMs);

    // Ends the wait from outside, as if it had been woken.
    void wake() { check(); }

private:
    void check();

    std::function<bool()> m_done;
    QEventLoop m_loop;
    bool m_woken = false;
};

} // namespace nw
