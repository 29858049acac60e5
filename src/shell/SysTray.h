#pragma once

#include <QIcon>
#include <QObject>

class QMenu;
class QSystemTrayIcon;

namespace nw {

// `SysTray`: the program's icon in the notification area. It keeps the picture and tip, shows the
// pop-up menu on the right button, and turns the icon's mouse events and menu commands into its events.
class SysTray : public QObject {
    Q_OBJECT

public:
    enum Button { LeftButton = 1, RightButton = 2 };

    explicit SysTray(QObject* parent = nullptr);
    ~SysTray() override;

    QIcon TrayIcon() const { return m_icon; }
    // A null icon is refused, as a picture that is not an icon is.
    void setTrayIcon(const QIcon& icon);
    QString TrayTip() const { return m_tip; }
    void setTrayTip(const QString& tip);
    // A notification balloon beside the icon, where the desktop shows them.
    void showMessage(const QString& text);
    bool InTray() const { return m_inTray; }
    void setInTray(bool inTray);

    // The pop-up menu; its actions' data give the item numbers MenuClick reports.
    void setMenu(QMenu* menu);

    // Whether the desktop has a notification area at all.
    static bool hostAvailable();
    QSystemTrayIcon* icon() const { return m_tray; }

signals:
    void MouseDown(int button);
    void MouseDblClick(int button);
    void MenuClick(int item);

private:
    QSystemTrayIcon* m_tray;
    QIcon m_icon;
    QString m_tip;
    bool m_inTray = false;
};

} // namespace nw
