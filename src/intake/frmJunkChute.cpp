#include "intake/frmJunkChute.h"

#include "app/AppState.h"
#include "controls/CaptionFrame.h"
#include "controls/Hyperlink.h"
#include "errors/ErrorHandler.h"
#include "header/MessageIntake.h"
#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace nw {

frmJunkChute::frmJunkChute(AppState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setWindowTitle(QStringLiteral("JunkChute"));
    supJunkChute = new CaptionFrame(QStringLiteral("JunkChute Files"), this);
    filJunkChute = new QListWidget(supJunkChute);
    hlnkProcessMessage = new Hyperlink(QStringLiteral("Process Message"), supJunkChute);
    cmdProcess = new QPushButton(QStringLiteral("Process"), supJunkChute);
    supJunkChute->body()->addWidget(filJunkChute, 1);
    auto* actions = new QHBoxLayout;
    actions->addWidget(hlnkProcessMessage);
    actions->addStretch(1);
    actions->addWidget(cmdProcess);
    supJunkChute->body()->addLayout(actions);

    supBody = new CaptionFrame(QStringLiteral("Message Body"), this);
    txtSpamFile = new QPlainTextEdit(supBody);
    // A pasted header keeps its tabs; the Tab key moves on to the next field.
    txtSpamFile->setTabChangesFocus(true);
    txtSpamFile->setLineWrapMode(QPlainTextEdit::NoWrap);
    spamFileView = MessageView(txtSpamFile);
    supBody->body()->addWidget(txtSpamFile);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(supJunkChute, 2);
    layout->addWidget(supBody, 5);

    setProcessAction({});
    connect(&m_list, &JunkChuteList::filesChanged, this, &frmJunkChute::showFiles);
    connect(filJunkChute, &QListWidget::itemClicked, this, &frmJunkChute::filJunkChute_Click);
    // The message in process stays in view until it ends: clicks wait until then.
    connect(&m_state, &AppState::busyProcessingChanged, filJunkChute, [this](bool busy) {
        filJunkChute->setEnabled(!busy);
    });
    connect(hlnkProcessMessage, &Hyperlink::clicked, this, &frmJunkChute::hlnkProcessMessage_Click);
    connect(cmdProcess, &QPushButton::clicked, this, [this] {
        if (m_process)
            m_process();
    });
}

bool frmJunkChute::Form_Load()
{
    return runGuarded("Form_Load", false, [&] {
        if (!CreateJunkChute(m_state))
            return false;
        m_list.setFolder(m_state.junkChuteFolder());
        return true;
    });
}

void frmJunkChute::setProcessAction(std::function<void()> action)
{
    m_process = std::move(action);
    cmdProcess->setEnabled(bool(m_process));
    hlnkProcessMessage->setEnabled(bool(m_process));
}

void frmJunkChute::showFiles()
{
    // Keep the selection on the same file when the folder changes underneath it.
    const QString selected = filJunkChute->currentItem() ? filJunkChute->currentItem()->text() : QString();
    filJunkChute->clear();
    filJunkChute->addItems(m_list.files());
    const auto again = filJunkChute->findItems(selected, Qt::MatchExactly);
    if (!selected.isEmpty() && !again.isEmpty())
        filJunkChute->setCurrentItem(again.first());
}

void frmJunkChute::setRoad(MessageRoad* road)
{
    m_road = road;
    setProcessAction([road] { road->cmdProcess_Click(); });
}

QStringList frmJunkChute::listFiles()
{
    if (m_list.folder() != m_state.junkChuteFolder())
        m_list.setFolder(m_state.junkChuteFolder());
    else
        m_list.refresh();
    return m_list.files();
}

QStringList frmJunkChute::refreshFileList()
{
    const QStringList files = listFiles();
    return m_road ? m_road->waitingFiles(files) : files;
}

void frmJunkChute::runStarted()
{
    if (m_road)
        m_road->runStarted();
}

void frmJunkChute::giveUp(const QString& why)
{
    if (m_road)
        m_road->giveUp(why);
}

QString frmJunkChute::selectedFile() const
{
    return filJunkChute->currentItem() ? filJunkChute->currentItem()->text() : QString();
}

void frmJunkChute::select(const QString& file)
{
    const auto items = filJunkChute->findItems(file, Qt::MatchExactly);
    if (items.isEmpty())
        return;
    filJunkChute->setCurrentItem(items.first());
    filJunkChute_Click();
}

void frmJunkChute::clearMessage()
{
    spamFileView.setText(QString());
    listFiles();
}

void frmJunkChute::filJunkChute_Click()
{
    runGuarded("filJunkChute_Click", [&] {
        if (!filJunkChute->currentItem())
            return;
        m_state.setCurrentMessageFile(AppPaths::join(m_state.junkChuteFolder(), filJunkChute->currentItem()->text()));
        LoadMessageHeader(m_state.currentMessageFile(), spamFileView);
        QCoreApplication::processEvents();
    });
}

void frmJunkChute::hlnkProcessMessage_Click()
{
    runGuarded("hlnkProcessMessage_Click", [&] { cmdProcess->click(); });
}

} // namespace nw
