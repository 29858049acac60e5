#pragma once

#include <QString>

namespace nw {

// Where a loaded message is shown: the drop-folder window's text box, or a plain text for the CLI and tests.
class TextSink {
public:
    virtual ~TextSink() = default;
    virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;
    // The hourglass pointer while a message loads; nothing to show without a window.
    virtual void setBusy(bool) {}
};

class StringSink : public TextSink {
public:
    QString text() const override { return m_text; }
    void setText(const QString& text) override { m_text = text; }

private:
    QString m_text;
};

} // namespace nw
