#pragma once

#include "intake/MessageView.h"

#include "intake/JunkChute.h"
#include "road/MessageRoad.h"
#include "road/Monitor.h"

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
class frmJunkChute : public QWidget, public DropFolderProcessing, public DropFolderView {
    Q_OBJECT

public:
    explicit frmJunkChute(AppState& state, QWidget* parent = nullptr);

    // Makes sure the drop folder exists and points the list at it; false when it could not be made.
    bool Form_Load();

    // What "Process" does with one message (cmdProcess_Click); until one is set the buttons are off.
    void setProcessAction(std::function<void()> action);
    // Processing goes along `road`; the monitor leaves aside what it says.
    void setRoad(MessageRoad* road);

    // Shows the selected file.
    void filJunkChute_Click();
    void hlnkProcessMessage_Click();

    QStringList refreshFileList() override;
    void processMessage() override { hlnkProcessMessage_Click(); }
    void runStarted() override;
    void giveUp(const QString& why) override;

    QString selectedFile() const override;
    QStringList listFiles() override;
    void select(const QString& file) override;
    TextSink& messageView() override { return spamFileView; }
    void clearMessage() override;

    CaptionFrame* supJunkChute;
    QListWidget* filJunkChute;
    Hyperlink* hlnkProcessMessage;
    QPushButton* cmdProcess;
    CaptionFrame* supBody;
    QPlainTextEdit* txtSpamFile;
    // The loaded header exactly as LoadMessageHeader left it, shown in txtSpamFile.
    MessageView spamFileView{nullptr};

private:
    void showFiles();

    AppState& m_state;
    JunkChuteList m_list;
    std::function<void()> m_process;
    MessageRoad* m_road = nullptr;
};

} // namespace nw
