#pragma once

#include <QFrame>

class QLabel;
class QVBoxLayout;

namespace nw {

// `supFrame`: a panel with a caption bar and a border that frames each section of a window.
class CaptionFrame : public QFrame {
    Q_OBJECT

public:
    explicit CaptionFrame(const QString& caption, QWidget* parent = nullptr);

    QString caption() const;
    void setCaption(const QString& caption);
    // The frame's contents go here.
    QVBoxLayout* body() const { return m_body; }

private:
    QLabel* m_caption;
    QVBoxLayout* m_body;
};

} // namespace nw
