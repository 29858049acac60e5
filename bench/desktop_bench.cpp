// desktop_bench: the desktop program's start-up and its cost when idle in the notification area. Runs the
// program's own start-up in a sandbox (program folder, desktop and settings in a temporary folder, a mail
// server already stored so no wizard opens) and prints the time from the process's start to the main
// window's first paint. Then it does what "Activate JunkChute Monitor" does, waits until the window sits
// in the tray, and between two ticks of the monitor measures the CPU time and wake-ups of the whole
// process over 40 s and its memory. Needs a display with a notification area (an X tray host).
// Prints figures; never passes or fails.

#include "app/Settings.h"
#include "platform/AppPaths.h"
#include "platform/LocalWait.h"
#include "platform/SettingsStore.h"
#include "road/Monitor.h"
#include "shell/Program.h"
#include "shell/SysTray.h"
#include "shell/frmMain.h"

#include "BenchSupport.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

#include <cstdio>

using namespace nw;
using namespace nw::bench;

namespace {

constexpr int kSettleMs = 10'000;  // after the first tick, which runs when the window goes to the tray
constexpr int kMeasureMs = 40'000; // and ends well before the next, a minute after the first
constexpr int kTrayWaitMs = 10'000;

// The time since this process started, from the kernel's start time (in clock ticks since boot).
qint64 sinceProcessStartNs()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // The fields after the command name, which is in parentheses and may hold spaces: state is field 3.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const qint64 startTicks = fields.value(22 - 3).toLongLong();
    return clockNs(CLOCK_BOOTTIME) - startTicks * 1'000'000'000 / sysconf(_SC_CLK_TCK);
}

long wakeUps()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

// Reports the first paint of a widget.
class PaintWatch : public QObject {
public:
    qint64 paintedAt = -1;
    QElapsedTimer* clock = nullptr;
    LocalWait* wait = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && paintedAt < 0) {
            paintedAt = clock->nsecsElapsed();
            wait->wake();
        }
        return QObject::eventFilter(watched, event);
    }
};

// Waits up to `ms` for `done`, looking every 50 ms (for states that announce themselves with no signal).
bool poll(int ms, const std::function<bool()>& done)
{
    LocalWait wait(done);
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &look, [&] { wait.wake(); });
    look.start(50);
    return wait.run(ms);
}

} // namespace

int main(int argc, char** argv)
{
    const qint64 startToMain = sinceProcessStartNs();
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is known: the run takes a minute
    QElapsedTimer clock;
    clock.start();
    QTemporaryDir sandbox;
    if (!sandbox.isValid()) {
        std::fprintf(stderr, "desktop_bench: no temporary folder: %s\n", qPrintable(sandbox.errorString()));
        return 1;
    }
    // Whatever else would reach for the user's folders finds the sandbox.
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(name, sandbox.filePath(QString::fromLatin1(name)).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", sandbox.path().toLocal8Bit()); // private to this user, as the folder must be

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    CountingPrompts prompts;
    ScopedPrompts scope(prompts);

    const QDir root(sandbox.path());
    for (const char* folder : {"program", "Desktop", "settings"})
        root.mkpath(QString::fromLatin1(folder));
    AppPaths::setProgramFolder(root.filePath(QStringLiteral("program")));
    AppPaths::setDesktopFolder(root.filePath(QStringLiteral("Desktop")));
    SettingsStore::setRoot(root.filePath(QStringLiteral("settings")));
    for (const QString& table : {QStringLiteral("whois.rir"), QStringLiteral("whois.srv")})
        QFile::copy(QDir(QCoreApplication::applicationDirPath()).filePath(table),
                    AppPaths::join(AppPaths::programFolder(), table));
    SettingsStore store;
    saveSetting(store, settings::Smtp, QStringLiteral("127.0.0.1"));

    const qint64 mainStart = clock.nsecsElapsed();
    Program program;
    program.Main();
    const qint64 mainEnd = clock.nsecsElapsed();
    if (!program.window) {
        std::fprintf(stderr, "desktop_bench: the program did not open its main window\n");
        return 1;
    }
    PaintWatch paint;
    LocalWait painted([&] { return paint.paintedAt >= 0; });
    paint.clock = &clock;
    paint.wait = &painted;
    program.window->installEventFilter(&paint);
    if (!painted.run(30'000)) {
        std::fprintf(stderr, "desktop_bench: the main window was not painted within 30 s\n");
        return 1;
    }
    std::printf("start-up: process start -> main window painted %.0f ms (main() -> painted %.0f ms, of which "
                "Program::Main %.0f ms)\n",
                double(startToMain + paint.paintedAt) / 1e6, double(paint.paintedAt) / 1e6,
                double(mainEnd - mainStart) / 1e6);
    std::printf("memory with the main window shown: %ld KiB resident\n", statusKiB("VmRSS"));

    if (!poll(kTrayWaitMs, [] { return SysTray::hostAvailable(); }))
        std::printf("no notification area on this display: the window stays in the task bar\n");
    frmMain& window = *program.window;
    int ticks = 0;
    QObject::connect(window.monitor, &Monitor::trayTipChanged, &window, [&] { ++ticks; });
    window.xpBMenu_ItemClick(QStringLiteral("Actions"), QStringLiteral("Activate"));
    if (!poll(kTrayWaitMs, [&] { return ticks > 0; })) {
        std::fprintf(stderr, "desktop_bench: the monitor did not start\n");
        return 1;
    }
    LocalWait().run(kSettleMs);

    const int ticksBefore = ticks;
    const qint64 cpuStart = processCpuNs();
    const long wakeStart = wakeUps();
    LocalWait().run(kMeasureMs);
    const qint64 cpu = processCpuNs() - cpuStart;
    const long wakes = wakeUps() - wakeStart;
    std::printf("idle in the tray (window %s, monitor %s): %.1f ms CPU in %d s, %ld wake-ups, %d monitor ticks\n",
                window.isVisible() ? "SHOWN" : "hidden", window.monitor->tmrActivate.isActive() ? "on" : "OFF",
                double(cpu) / 1e6, kMeasureMs / 1000, wakes, ticks - ticksBefore);
    std::printf("memory idle in the tray: %ld KiB resident (%ld KiB private), peak %ld KiB\n", statusKiB("VmRSS"),
                statusKiB("RssAnon"), peakMemoryKiB());
    std::printf("%lld messages shown\n", prompts.count);
    return 0;
}
