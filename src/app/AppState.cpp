#include "app/AppState.h"

namespace nw {

void AppState::setBusyProcessing(bool busy)
{
    if (m_busyProcessing == busy)
        return;
    m_busyProcessing = busy;
    emit busyProcessingChanged(busy);
}

void AppState::setMonitorActive(bool active)
{
    if (m_monitorActive == active)
        return;
    m_monitorActive = active;
    emit monitorActiveChanged(active);
}

void AppState::useKeychain(std::unique_ptr<Keychain> backing)
{
    m_keychain = std::make_unique<SessionKeychain>(*backing);
    m_keychainBacking = std::move(backing);
}

} // namespace nw
