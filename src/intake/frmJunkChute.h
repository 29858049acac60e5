#pragma once

#include "intake/JunkChute.h"
#include "shell/Monitor.h"

#include <QWidget>

#include <functional>

class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace nw {

class AppState;
class CaptionFrame;
class Hyperlink;

// The JunkChute window: the drop folder's files, the message view and the process action.
class frmJunkChute : public QWidget, public DropFolderProcessing {
    Q_OBJECT

public:
    // Loads a message file into the view. Header analysis supplies it (LoadMessageHeader).
    using HeaderLoader = std::function<void(const QString& path, QPlainTextEdit* view)>;

    explicit frmJunkChute(AppState& state, QWidget* parent = nullptr);

    // Makes sure the drop folder exists and points the list at it; false when it could not be made.
    bool Form_Load();

    void setHeaderLoader(HeaderLoader loader) { m_loadHeader = std::move(loader); }
    // What "Process" does with one message (cmdProcess_Click); until one is set the buttons are off.
    void setProcessAction(std::function<void()> action);

    // Shows the selected file.
    void filJunkChute_Click();
    void hlnkProcessMessage_Click();

    QStringList refreshFileList() override;
    void processMessage() override { hlnkProcessMessage_Click(); }

    CaptionFrame* supJunkChute;
    QListWidget* filJunkChute;
    Hyperlink* hlnkProcessMessage;
    QPushButton* cmdProcess;
    CaptionFrame* supBody;
    QPlainTextEdit* txtSpamFile;

private:
    void showFiles();

    AppState& m_state;
    JunkChuteList m_list;
    HeaderLoader m_loadHeader;
    std::function<void()> m_process;
};

} // namespace nw
