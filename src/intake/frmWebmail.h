#pragma once

#include <QWidget>


class QPlainTextEdit;

namespace nw {

class AppState;
class CaptionFrame;
class Hyperlink;

// The web-mail paste window: a message pasted from a browser is saved into the drop folder.
class frmWebmail : public QWidget {
    Q_OBJECT

public:
    // Whether a text holds a full e-mail header. Header analysis supplies it (IsFullHeader).

    explicit frmWebmail(AppState& state, QWidget* parent = nullptr);

    // Until a header test is set the "Save Message" link is off.

    // Makes sure the drop folder exists; false when it could not be made.
    bool Form_Load();
    void hlnkProcessMessage_Click();

    CaptionFrame* supJunkChute;
    QPlainTextEdit* txtInstructions;
    Hyperlink* hlnkProcessMessage;
    CaptionFrame* supBody;
    QPlainTextEdit* txtSpamFile;

private:
    AppState& m_state;
};

} // namespace nw
