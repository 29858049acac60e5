#include "controls/Hyperlink.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace nw {

Hyperlink::Hyperlink(const QString& caption, QWidget* parent) : QLabel(caption, parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setForegroundRole(QPalette::Link);
    setTextFormat(Qt::PlainText);
}

void Hyperlink::setHovered(bool hovered)
{
    if (m_hovered == hovered)
        return;
    m_hovered = hovered;
    setForegroundRole(hovered ? QPalette::LinkVisited : QPalette::Link);
    QFont f = font();
    f.setUnderline(hovered);
    setFont(f);
}

void Hyperlink::enterEvent(QEnterEvent* event)
{
    setHovered(true);
    QLabel::enterEvent(event);
}

void Hyperlink::leaveEvent(QEvent* event)
{
    setHovered(hasFocus());
    QLabel::leaveEvent(event);
}

void Hyperlink::focusInEvent(QFocusEvent* event)
{
    setHovered(true);
    QLabel::focusInEvent(event);
}

void Hyperlink::focusOutEvent(QFocusEvent* event)
{
    setHovered(underMouse());
    QLabel::focusOutEvent(event);
}

void Hyperlink::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void Hyperlink::mouseReleaseEvent(QMouseEvent* event)
{
    // A click is a press and a release on the link; dragging off it cancels.
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        emit clicked();
}

void Hyperlink::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        event->accept();
        emit clicked();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

} // namespace nw
