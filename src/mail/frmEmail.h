#pragma once

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

namespace nw {

class CaptionFrame;
class ComplaintStage;
class Hyperlink;

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
