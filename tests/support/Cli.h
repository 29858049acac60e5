#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QStringList>

namespace nw::test {

struct CliRun {
    int exitCode = -1; // -1 when it did not end within the bound
    QByteArray out;
    QByteArray err;
};

// Runs the command-line tool built beside the test, as a user runs it, its input closed, for a minute at
// most. The event loop goes on meanwhile, so the test's loopback peers can answer it.
CliRun runCli(const QStringList& args, const QString& workingDir = {},
              const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

} // namespace nw::test
