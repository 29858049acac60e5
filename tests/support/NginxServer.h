#pragma once

#include <QByteArray>
#include <QString>

namespace nw::test {

// The private nginx that the "nginx" CTest fixture started (see tests/servers): the files it serves
// and the requests it logged.
class NginxServer {
public:
    // False (with a reason for QSKIP-free failure messages) when the fixture is not running.
    static bool available(QString* why = nullptr);
    static QString baseUrl(); // "http://127.0.0.1:PORT"
    // Places a file under the served root and returns its URL.
    static QString put(const QString& name, const QByteArray& bytes);
    static QByteArray accessLog();

private:
    static QString dir();
};

} // namespace nw::test
