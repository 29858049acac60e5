#include "controls/Splash.h"

#include "controls/Hyperlink.h"
#include "controls/Icons.h"
#include "platform/AppInfo.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace nw {

namespace {
constexpr int kSplashMs = 5000;

QLabel* iconLabel(int size, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setPixmap(programIcon().pixmap(size, size));
    label->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    return label;
}

QLabel* versionLabel(QWidget* parent) { return new QLabel(QStringLiteral("Version %1").arg(versionText()), parent); }
} // namespace

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmSplash"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(24, 24, 32, 24);
    row->setSpacing(20);
    row->addWidget(iconLabel(96, this));
    auto* column = new QVBoxLayout;
    m_product = new Hyperlink(appTitle(), this);
    QFont big = m_product->font();
    big.setPointSizeF(big.pointSizeF() * 2.2);
    big.setBold(true);
    m_product->setFont(big);
    column->addWidget(m_product);
    column->addWidget(versionLabel(this));
    column->addWidget(new QLabel(QStringLiteral("Reports spam to the network it came from."), this));
    column->addStretch(1);
    row->addLayout(column);
    setStyleSheet(QStringLiteral("QWidget#frmSplash { background: palette(base); border: 1px solid palette(dark); }"));
    setAttribute(Qt::WA_StyledBackground);

    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    closeTimer.setSingleShot(true);
    closeTimer.setInterval(kSplashMs);
    connect(&closeTimer, &QTimer::timeout, this, &QWidget::close);
    connect(m_product, &Hyperlink::clicked, this, &QWidget::close);
    closeTimer.start();
}

void frmSplash::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    close();
}

frmAbout::frmAbout(QWidget* parent) : QWidget(parent, Qt::Dialog)
{
    setWindowTitle(QStringLiteral("About %1").arg(appTitle()));
    auto* row = new QHBoxLayout;
    row->setSpacing(16);
    row->addWidget(iconLabel(64, this));
    auto* column = new QVBoxLayout;
    auto* title = new QLabel(appTitle(), this);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    title->setFont(big);
    title->setObjectName(QStringLiteral("title"));
    auto* version = versionLabel(this);
    version->setObjectName(QStringLiteral("version"));
    column->addWidget(title);
    column->addWidget(version);
    column->addWidget(new QLabel(QStringLiteral("Reports spam to the network it came from."), this));
    column->addStretch(1);
    row->addLayout(column, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QWidget::close);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this, &QWidget::close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 14);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

} // namespace nw
