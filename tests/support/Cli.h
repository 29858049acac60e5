#pragma once

#include "platform/LocalWait.h"

#include <QCoreApplication>
#include <QProcess>

namespace nw::test {

struct CliRun {
    int exitCode = -1; // -1 when it did not end within the bound
    QByteArray out;
    QByteArray err;
};

// Runs the command-line tool built beside the test, as a user runs it, its input closed, for a minute at
// most. The event loop goes on meanwhile, so the test's loopback peers can answer it.
inline CliRun runCli(const QStringList& args, const QString& workingDir = {},
                     const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess cli;
    cli.setWorkingDirectory(workingDir);
    cli.setProcessEnvironment(env);
    LocalWait ended([&cli] { return cli.state() == QProcess::NotRunning; });
    ended.wakeOn(&cli, &QProcess::stateChanged);
    cli.start(QCoreApplication::applicationDirPath() + QStringLiteral("/nettlewright-cli"), args);
    cli.closeWriteChannel();
    if (!ended.run(60000) || cli.error() == QProcess::FailedToStart || cli.exitStatus() != QProcess::NormalExit) {
        cli.kill();
        cli.waitForFinished();
        return {};
    }
    return {cli.exitCode(), cli.readAllStandardOutput(), cli.readAllStandardError()};
}

} // namespace nw::test
