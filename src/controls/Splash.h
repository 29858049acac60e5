#pragma once

#include <QTimer>
#include <QWidget>

namespace nw {

class Hyperlink;

// The splash window: topmost, closes itself after five seconds, at a key press, or when its product
// name is clicked.
class frmSplash : public QWidget {
    Q_OBJECT

public:
    explicit frmSplash(QWidget* parent = nullptr);

    QTimer closeTimer; // 5000 ms; tests shorten it
    Hyperlink* productName() const { return m_product; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    Hyperlink* m_product;
};

// The about window: the program's title and version.
class frmAbout : public QWidget {
    Q_OBJECT

public:
    explicit frmAbout(QWidget* parent = nullptr);
};

} // namespace nw
