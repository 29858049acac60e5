#include "support/Cli.h"

#include "platform/LocalWait.h"

#include <QCoreApplication>
#include <QProcess>

namespace nw::test {

CliRun runCli(const QStringList& args, const QString& workingDir, const QProcessEnvironment& env)
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
