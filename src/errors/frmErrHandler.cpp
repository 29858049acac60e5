#include "errors/frmErrHandler.h"

#include "app/AppState.h"
#include "errors/ErrorReport.h"
#include "mail/SmtpSettings.h"
#include "platform/AppInfo.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace nw {

namespace {
const QString kReportOut = QStringLiteral("Report Error >>");
const QString kReportIn = QStringLiteral("<<Report Error");
constexpr int kPanelWidth = 480;
constexpr int kBorder = 1; // the 30 twips around the layout panel, half on each side
} // namespace

frmErrHandler::frmErrHandler(AppState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_state(state)
{
    setWindowTitle(appTitle());
    setModal(true);

    picLayout = new QWidget(this);
    lblMessage = new QLabel(QStringLiteral("The following error has occured while attempting to perform a task."));
    lblMessage->setWordWrap(true);
    QFont bold = lblMessage->font();
    bold.setBold(true);
    lblMessage->setFont(bold);
    lblErrNumber = new QLabel;
    lblErrMessage = new QLabel;
    lblErrMessage->setWordWrap(true);
    lblErrMessage->setTextFormat(Qt::PlainText); // descriptions may quote files and servers
    txtStack = new QPlainTextEdit;
    txtStack->setReadOnly(true);
    txtStack->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtStack->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont)); // the record's columns line up
    txtStack->setFixedHeight(140);
    lblBtnSelection = new QLabel(picLayout);
    lblBtnSelection->hide();
    cmdSendError = new QPushButton(kReportOut);
    cmdSendError->setAutoDefault(false);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("Error:")), 0, 0, Qt::AlignLeft | Qt::AlignTop);
    fields->addWidget(lblErrNumber, 0, 1, Qt::AlignTop);
    fields->addWidget(new QLabel(QStringLiteral("Description:")), 1, 0, Qt::AlignLeft | Qt::AlignTop);
    fields->addWidget(lblErrMessage, 1, 1, Qt::AlignTop);
    fields->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdSendError);
    buttons->addStretch(1);
    for (int i = 0; i < 3; ++i) {
        cmdOption[i] = new QPushButton;
        cmdOption[i]->hide();
        connect(cmdOption[i], &QPushButton::clicked, this, [this, i] { cmdOption_Click(i); });
        buttons->addWidget(cmdOption[i]);
    }
    auto* layout = new QVBoxLayout(picLayout);
    layout->addWidget(lblMessage);
    layout->addLayout(fields);
    layout->addWidget(txtStack);
    layout->addLayout(buttons);

    picReportError = new QWidget(this);
    auto* instruction = new QLabel(
        QStringLiteral("Clicking on Send will forward only the error description and procedure stack to technical "
                       "support.  Optionally provide a brief description of your actions leading up to the error!"));
    instruction->setWordWrap(true);
    txtMessage = new QPlainTextEdit;
    txtMessage->setFixedHeight(80);
    cmdSend = new QPushButton(QStringLiteral("&Send"));
    auto* sendRow = new QHBoxLayout;
    sendRow->addWidget(new QLabel(QStringLiteral("Thank you for your cooperation!")), 1);
    sendRow->addWidget(cmdSend);
    auto* report = new QVBoxLayout(picReportError);
    report->addWidget(instruction);
    report->addWidget(txtMessage);
    report->addLayout(sendRow);

    connect(cmdSendError, &QPushButton::clicked, this, &frmErrHandler::cmdSendError_Click);
    connect(cmdSend, &QPushButton::clicked, this, &frmErrHandler::cmdSend_Click);
    for (QWidget* w : {static_cast<QWidget*>(lblMessage), static_cast<QWidget*>(lblErrMessage), picLayout})
        w->installEventFilter(this);
}

void frmErrHandler::Form_Load()
{
    // A routine that failed may have left the wait pointer on.
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    cmdSendError->setVisible(!m_state.smtpServer.isEmpty() && !m_state.userAddress.isEmpty());
    cmdSendError->setText(kReportOut);
    const int layoutHeight = picLayout->layout()->heightForWidth(kPanelWidth);
    picLayout->setGeometry(kBorder, kBorder, kPanelWidth,
                           layoutHeight > 0 ? layoutHeight : picLayout->sizeHint().height());
    const int reportHeight = picReportError->layout()->heightForWidth(kPanelWidth);
    picReportError->setGeometry(kBorder, picLayout->geometry().bottom() + 1, kPanelWidth,
                                reportHeight > 0 ? reportHeight : picReportError->sizeHint().height());
    setFixedSize(kPanelWidth + 2 * kBorder, picLayout->height() + 2 * kBorder);
    m_loaded = true;
}

void frmErrHandler::setError(const QString& numberText, const QString& description)
{
    lblErrNumber->setText(numberText);
    lblErrMessage->setText(description);
    if (!m_loaded)
        Form_Load();
}

void frmErrHandler::appendStack(const QString& text)
{
    // The box shows CR LF as a line end of its own; the text keeps them for the report.
    txtStack->setPlainText(txtStack->toPlainText() + text);
}

QString frmErrHandler::showModal(const QStringList& captions)
{
    if (!m_loaded)
        Form_Load();
    // Under the monitor nobody is there to answer: a modal dialog would hold every waiting message. The
    // record is in the error log already; the tray tells the user, and the option that never ends the
    // program (the one Enter takes) is chosen.
    if (m_state.monitorActive()) {
        m_state.notify(QStringLiteral("Error %1: %2").arg(lblErrNumber->text(), lblErrMessage->text()));
        return captions.value(captions.size() - 1);
    }
    for (int i = 0; i < 3; ++i) {
        cmdOption[i]->setText(captions.value(i));
        cmdOption[i]->setVisible(i < captions.size());
    }
    // Enter takes the rightmost option (OK, or Ignore among Quit, Retry and Ignore), never "Report Error".
    QPushButton* byDefault = cmdOption[std::clamp(int(captions.size()) - 1, 0, 2)];
    byDefault->setDefault(true);
    byDefault->setFocus();
    exec();
    return lblBtnSelection->text();
}

void frmErrHandler::unload()
{
    hide();
    lblErrNumber->clear();
    lblErrMessage->clear();
    txtStack->clear();
    txtMessage->clear();
    lblBtnSelection->clear();
    for (QPushButton* b : cmdOption)
        b->hide();
    m_loaded = false;
}

void frmErrHandler::cmdOption_Click(int index)
{
    lblBtnSelection->setText(cmdOption[index]->text());
    hide();
}

void frmErrHandler::fold(bool out)
{
    setFixedHeight(picLayout->height() + (out ? picReportError->height() : 0));
    cmdSendError->setText(out ? kReportIn : kReportOut);
}

void frmErrHandler::cmdSendError_Click() { fold(cmdSendError->text() == kReportOut); }

void frmErrHandler::cmdSend_Click()
{
    const QString body = errorReportBody(generalDateText(ErrorHandler::instance().now()), lblErrNumber->text(),
                                         lblErrMessage->text(), txtMessage->toPlainText(), txtStack->toPlainText());
    prepareSend(SMTP1, m_state.smtpServer, m_state.smtpSecurity);
    SMTP1.MailFrom = m_state.userAddress;
    SMTP1.MailTo = m_state.supportAddress.isEmpty() ? supportMailbox() : m_state.supportAddress;
    SMTP1.Subject = errorReportSubject();
    SMTP1.Body = body;
    SMTP1.SendMail();
    // One report per dialog.
    cmdSendError->hide();
    fold(false);
}

bool frmErrHandler::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return QDialog::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = mouse->globalPosition().toPoint();
    if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        // The window system moves a borderless window as if its caption were dragged; where it cannot,
        // the window follows the mouse itself.
        m_dragging = !(windowHandle() && windowHandle()->startSystemMove());
        m_dragOffset = at - pos();
        return true;
    }
    if (type == QEvent::MouseMove && m_dragging && (mouse->buttons() & Qt::LeftButton)) {
        move(at - m_dragOffset);
        return true;
    }
    if (type == QEvent::MouseButtonRelease)
        m_dragging = false;
    return QDialog::eventFilter(watched, event);
}

void frmErrHandler::paintEvent(QPaintEvent*)
{
    // Without a caption bar the window needs an edge of its own.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace nw
