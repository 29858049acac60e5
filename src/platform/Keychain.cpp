#include "platform/Keychain.h"

namespace nw {

bool MemoryKeychain::read(const QString& key, QString& secret)
{
    secret = m_secrets.value(key);
    return true;
}

bool MemoryKeychain::write(const QString& key, const QString& secret)
{
    if (secret.isEmpty())
        m_secrets.remove(key);
    else
        m_secrets.insert(key, secret);
    return true;
}

bool SessionKeychain::read(const QString& key, QString& secret)
{
    if (m_thisRun.contains(key))
        return m_thisRun.read(key, secret);
    return m_backing.read(key, secret);
}

bool SessionKeychain::write(const QString& key, const QString& secret)
{
    if (!m_backing.write(key, secret))
        return false;
    m_thisRun.write(key, QString());
    return true;
}

} // namespace nw
