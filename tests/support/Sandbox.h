#pragma once

#include "platform/Prompts.h"
#include "support/Files.h"

#include <QDateTime>
#include <QTemporaryDir>

namespace nw::test {

// A clean world for one test: a temporary program folder, desktop, autostart folder and settings store, a
// connection check that finds a connection, a fresh error handler whose "Quit" is recorded instead of ending
// the process, and recording prompts.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();

    QString programFolder() const { return m_dir.filePath(QStringLiteral("program")); }
    QString desktopFolder() const { return m_dir.filePath(QStringLiteral("desktop")); }
    QString autostartFolder() const { return m_dir.filePath(QStringLiteral("autostart")); }
    QString path(const QString& name) const { return programFolder() + QLatin1Char('/') + name; }
    RecordingPrompts& prompts() { return m_prompts; }
    int exits() const { return m_exits; }

    QString writeFile(const QString& name, const QByteArray& bytes) const
    {
        writeBytes(path(name), bytes);
        return path(name);
    }
    QByteArray errorLog() const { return fileBytes(path(QStringLiteral("Nettlewright.err"))); }
    // Every byte the settings store has written, all files together.
    QByteArray settingsFiles() const;

private:
    QTemporaryDir m_dir;
    RecordingPrompts m_prompts;
    ScopedPrompts m_scope{m_prompts};
    int m_exits = 0;
};

} // namespace nw::test
