#include "controls/CaptionFrame.h"

#include <QLabel>
#include <QVBoxLayout>

namespace nw {

CaptionFrame::CaptionFrame(const QString& caption, QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(1, 1, 1, 1);
    outer->setSpacing(0);
    m_caption = new QLabel(caption, this);
    m_caption->setObjectName(QStringLiteral("caption"));
    m_caption->setAutoFillBackground(true);
    m_caption->setBackgroundRole(QPalette::Highlight);
    m_caption->setForegroundRole(QPalette::HighlightedText);
    QFont bold = m_caption->font();
    bold.setBold(true);
    m_caption->setFont(bold);
    m_caption->setContentsMargins(6, 3, 6, 3);
    outer->addWidget(m_caption);
    m_body = new QVBoxLayout;
    m_body->setContentsMargins(8, 8, 8, 8);
    m_body->setSpacing(6);
    outer->addLayout(m_body, 1);
}

QString CaptionFrame::caption() const { return m_caption->text(); }
void CaptionFrame::setCaption(const QString& caption) { m_caption->setText(caption); }

} // namespace nw
