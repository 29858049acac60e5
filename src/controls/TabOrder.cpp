#include "controls/TabOrder.h"

#include <QLayout>
#include <QWidget>

namespace nw {

namespace {
bool takesTab(const QWidget* w)
{
    return w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus);
}

void collectTabStops(const QLayout* layout, QList<QWidget*>& stops)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (const QLayout* inner = item->layout())
            collectTabStops(inner, stops);
        else if (QWidget* widget = item->widget()) {
            if (widget->focusPolicy() & Qt::TabFocus)
                stops << widget;
            else if (const QLayout* own = widget->layout())
                collectTabStops(own, stops);
        }
    }
}
} // namespace

void chainTabOrder(QWidget* root)
{
    QList<QWidget*> stops;
    if (const QLayout* layout = root->layout())
        collectTabStops(layout, stops);
    for (qsizetype i = 1; i < stops.size(); ++i)
        QWidget::setTabOrder(stops.at(i - 1), stops.at(i));
}

bool TabThroughSubWindow::focusNextPrevChild(bool next)
{
    QWidget* from = focusWidget();
    if (!from)
        return QMdiSubWindow::focusNextPrevChild(next);
    const auto step = [next](QWidget* w) { return next ? w->nextInFocusChain() : w->previousInFocusChain(); };
    for (QWidget* w = step(from); w && w != from; w = step(w)) {
        if (!takesTab(w))
            continue;
        if (isAncestorOf(w))
            break; // the next field is still in this window
        const QWidget* frame = w;
        while (frame && !qobject_cast<const QMdiSubWindow*>(frame))
            frame = frame->parentWidget();
        if (frame)
            continue; // inside another child window, which Tab does not enter
        w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
    return QMdiSubWindow::focusNextPrevChild(next);
}

} // namespace nw
