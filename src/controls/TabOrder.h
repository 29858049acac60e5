#pragma once

#include <QMdiSubWindow>

class QWidget;

namespace nw {

// Tab goes through the widgets under `root` in the order they are laid out (top to bottom, as the layouts
// stand), whatever order they were made in.
void chainTabOrder(QWidget* root);

// A child window of the main window whose Tab, past its last field, goes on to the main window's other parts
// (the menu) instead of round the child window again; Shift+Tab likewise before its first field.
class TabThroughSubWindow : public QMdiSubWindow {
    Q_OBJECT

public:
    using QMdiSubWindow::QMdiSubWindow;

protected:
    bool focusNextPrevChild(bool next) override;
};

} // namespace nw
