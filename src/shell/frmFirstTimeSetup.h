#pragma once

#include <QDialog>
#include <QList>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace nw {

class Hyperlink;
class SettingsStore;

// The first-run wizard: eight pages that store the settings as the user works, no button needed.
class frmFirstTimeSetup : public QDialog {
    Q_OBJECT

public:
    static constexpr int PageCount = 8;

    explicit frmFirstTimeSetup(SettingsStore& store, QWidget* parent = nullptr);

    int page() const { return m_page; }
    // The instruction text of a page.
    static QString instructions(int page);

    void Next();
    void Previous();

    QLineEdit* txtSMTP;
    QLineEdit* txtEmail;
    QCheckBox* chkCopy;
    QCheckBox* chkReturnAddress;
    QCheckBox* chkAutoStart;
    Hyperlink* hlnkNext;
    Hyperlink* hlnkPrevious; // "Cancel" on the first page
    QPushButton* cmdNext;    // the default button, so Enter acts as Next
    QStackedWidget* pages;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* pageControl(int page) const;
    void showPage();
    void keepKeyboardOnPage();

    SettingsStore& m_store;
    int m_page = 0;
};

} // namespace nw
