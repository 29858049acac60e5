#pragma once

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

namespace nw {

class CaptionFrame;
class ContactStage;
class Hyperlink;

// The contact window: a message to the vendor's support.
class frmContact : public QWidget {
    Q_OBJECT

public:
    explicit frmContact(ContactStage& stage, QWidget* parent = nullptr);

    CaptionFrame* supAddress;
    QLineEdit* txtSubject;
    CaptionFrame* supBody;
    QPlainTextEdit* txtBody;
    Hyperlink* hlnkSendMessage;

private:
    ContactStage& m_stage;
};

} // namespace nw
