#include "shell/SysTray.h"

#include "platform/AppInfo.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

namespace nw {

namespace {
// The shell's tip holds at most 64 characters.
constexpr int kTipLength = 64;
} // namespace

SysTray::SysTray(QObject* parent) : QObject(parent), m_tray(new QSystemTrayIcon(this))
{
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        switch (reason) {
        case QSystemTrayIcon::DoubleClick:
            emit MouseDblClick(LeftButton);
            break;
        case QSystemTrayIcon::Trigger:
            emit MouseDown(LeftButton);
            break;
        case QSystemTrayIcon::Context:
            emit MouseDown(RightButton);
            break;
        default:
            break;
        }
    });
}

SysTray::~SysTray() { setInTray(false); }

void SysTray::setTrayIcon(const QIcon& icon)
{
    if (icon.isNull())
        return;
    m_icon = icon;
    m_tray->setIcon(icon);
}

void SysTray::setTrayTip(const QString& tip)
{
    m_tip = tip.left(kTipLength);
    m_tray->setToolTip(m_tip);
}

void SysTray::showMessage(const QString& text)
{
    if (m_tray && m_tray->isVisible())
        m_tray->showMessage(appTitle(), text);
}

void SysTray::setInTray(bool inTray)
{
    if (m_inTray == inTray)
        return;
    m_inTray = inTray;
    m_tray->setVisible(inTray);
}

void SysTray::setMenu(QMenu* menu)
{
    m_tray->setContextMenu(menu);
    connect(menu, &QMenu::triggered, this, [this](QAction* action) { emit MenuClick(action->data().toInt()); });
}

bool SysTray::hostAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

} // namespace nw
