#include "intake/MessageView.h"

#include <QApplication>
#include <QPlainTextEdit>

namespace nw {

void MessageView::setText(const QString& text)
{
    m_text = text;
    m_box->setPlainText(text);
}

void MessageView::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

} // namespace nw
