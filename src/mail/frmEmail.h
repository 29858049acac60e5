#pragma once

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

namespace nw {

class CaptionFrame;
class ComplaintStage;
class Hyperlink;

// The layout the complaint and contact windows share: the address frame, a body frame holding `txtBody`
// and the "Send Message" link below; returns the link.
Hyperlink* layOutMailWindow(QWidget* window, CaptionFrame* address, CaptionFrame* body, QPlainTextEdit* txtBody);

// The complaint window: shows the complaint of `ComplaintStage` and forwards the user's edits and the send.
class frmEmail : public QWidget {
    Q_OBJECT

public:
    explicit frmEmail(ComplaintStage& stage, QWidget* parent = nullptr);

    CaptionFrame* supAddress;
    QLineEdit* txtTo;
    QLineEdit* txtCopyTo;
    QLineEdit* txtSubject;
    CaptionFrame* supBody;
    QPlainTextEdit* txtBody;
    Hyperlink* hlnkSendMessage;

private:
    void showFields();

    ComplaintStage& m_stage;
};

} // namespace nw
