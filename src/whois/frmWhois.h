#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace nw {

class CaptionFrame;
class Hyperlink;
class WhoisStage;

// The WHOIS window: shows the look-up of `WhoisStage` and forwards the user's edits and presses.
class frmWhois : public QWidget {
    Q_OBJECT

public:
    explicit frmWhois(WhoisStage& stage, QWidget* parent = nullptr);

    CaptionFrame* supInput;
    QLineEdit* Text1;
    QLineEdit* Text2;
    QPushButton* Command1;
    Hyperlink* hlnkWhois;
    QPlainTextEdit* txtEmailList;
    QLabel* lblstatus;
    CaptionFrame* supResults;
    // What the WhoIs control shows: the answers as they arrive.
    QPlainTextEdit* Whois1;

private:
    void showFields();

    WhoisStage& m_stage;
};

} // namespace nw
