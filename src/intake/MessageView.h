#pragma once

#include "header/TextSink.h"

class QPlainTextEdit;

namespace nw {

// The drop-folder window's message box as the header loader sees it. It keeps the exact text (CR LF
// line ends included) for the analysis, since the text box itself keeps only lines.
class MessageView : public TextSink {
public:
    explicit MessageView(QPlainTextEdit* box) : m_box(box) {}
    QString text() const override { return m_text; }
    void setText(const QString& text) override;
    void setBusy(bool busy) override;

private:
    QPlainTextEdit* m_box;
    QString m_text;
    bool m_busy = false;
};

} // namespace nw
