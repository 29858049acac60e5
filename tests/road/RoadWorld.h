#pragma once

#include <QString>

namespace nw::test {

inline const QString kUser = QStringLiteral("me@home-isp.net");

// whois.chain1.test names whois.chain2.test, and so on, further than a look-up follows.
constexpr int kChain = 14;
inline QString chainServer(int n)
{
    return QStringLiteral("whois.chain%1.test").arg(n);
}

// A spam message from `ip` (reverse name `hostName`, if any); the token marks its complaint, and the body's
// Latin-1 letters show that a kept file stays byte for byte as it came.
inline QByteArray spam(const QByteArray& ip, const QByteArray& token = "road", const QByteArray& hostName = {})
{
    const QByteArray from = hostName.isEmpty() ? QByteArray("relay.example.net (unknown") : hostName + " (" + hostName;
    return "Received: from " + from + " [" + ip +
           "]) by mx.home.example with SMTP; Mon, 1 Jan 2024 10:00:00 +0000\r\nMessage-ID: <" + token +
           "@lottery.example>\r\nFrom: winner@lottery.example\r\nSubject: You won\r\n\r\nClaim your pr\xe9mio, "
           "\xfc\x62\x65rall.\r\n";
}

} // namespace nw::test
