#pragma once

#include <QLabel>

namespace nw {

// `Hyperlink`: a label that changes colour under the mouse and raises a click. It takes keyboard focus,
// and Enter or Space act as a click, so every action of the windows can be reached without a mouse.
class Hyperlink : public QLabel {
    Q_OBJECT

public:
    explicit Hyperlink(const QString& caption, QWidget* parent = nullptr);

    bool hovered() const { return m_hovered; }

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void setHovered(bool hovered);

    bool m_hovered = false;
    bool m_pressed = false;
};

} // namespace nw
