#pragma once

#include "errors/ErrorHandler.h"
#include "mail/SMTP.h"

#include <QDialog>
#include <QPoint>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace nw {

class AppState;

// The error dialog: borderless and dragged by its body, it shows the error and the call stack, offers the
// option buttons the handler asks for, and folds out a panel that mails the report to support through
// the user's SMTP server. The desktop program installs it with ErrorHandler::setPresenter.
class frmErrHandler : public QDialog, public ErrorPresenter {
    Q_OBJECT

public:
    // Reads the SMTP server, the user's and the support address from `state` when it loads and sends.
    explicit frmErrHandler(AppState& state, QWidget* parent = nullptr);

    void setError(const QString& numberText, const QString& description) override;
    void appendStack(const QString& text) override;
    QString showModal(const QStringList& captions) override;
    void unload() override;

    QWidget* picLayout;
    QLabel* lblMessage;
    QLabel* lblErrNumber;
    QLabel* lblErrMessage;
    QPlainTextEdit* txtStack;
    QPushButton* cmdOption[3];
    QPushButton* cmdSendError;
    QLabel* lblBtnSelection;
    QWidget* picReportError;
    QPlainTextEdit* txtMessage;
    QPushButton* cmdSend;
    SMTP SMTP1;

public slots:
    void cmdOption_Click(int index);
    void cmdSendError_Click();
    void cmdSend_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Form_Load();
    void fold(bool out);

    AppState& m_state;
    bool m_loaded = false;
    QPoint m_dragOffset; // where the mouse took hold, when the window system cannot move the window itself
    bool m_dragging = false;
};

} // namespace nw
