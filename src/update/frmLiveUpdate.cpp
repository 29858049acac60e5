#include "update/frmLiveUpdate.h"

#include "update/DownloadAnimation.h"
#include "update/UpdateFormat.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

namespace nw {

namespace {
QLabel* caption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}
} // namespace

frmLiveUpdate::frmLiveUpdate(const QString& updateBase, const QString& folder, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_update(*this, updateBase, folder,
               [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); })
{
    setWindowTitle(QStringLiteral("Checking Updates"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_status = new QLabel(this);
    m_source = new QLabel(this);
    m_destination = new QLabel(this);
    m_rate = new QLabel(this);
    m_time = new QLabel(this);
    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    m_animation = new DownloadAnimation(this);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    for (QLabel* l : {m_source, m_destination, m_rate, m_time})
        l->setMinimumWidth(320);
    // File names and statuses come from the catalog and the server: shown as they are, never as markup.
    for (QLabel* l : {m_status, m_source, m_destination})
        l->setTextFormat(Qt::PlainText);

    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(10);
    grid->addWidget(m_animation, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(m_status, 0, 1, 1, 2);
    grid->addWidget(m_source, 1, 1, 1, 2);
    grid->addWidget(caption(QStringLiteral("Download to:"), this), 2, 0);
    grid->addWidget(m_destination, 2, 1, 1, 2);
    grid->addWidget(caption(QStringLiteral("Transfer rate:"), this), 3, 0);
    grid->addWidget(m_rate, 3, 1, 1, 2);
    grid->addWidget(caption(QStringLiteral("Estimated time left:"), this), 4, 0);
    grid->addWidget(m_time, 4, 1, 1, 2);
    grid->addWidget(m_progress, 5, 0, 1, 3);
    grid->addWidget(m_cancel, 6, 2, Qt::AlignRight);
    grid->setColumnStretch(1, 1);

    connect(m_cancel, &QPushButton::clicked, &m_update, &LiveUpdate::cancel);
    connect(&m_update, &LiveUpdate::finished, this, [this] {
        m_running = false;
        close();
    });

    // Loaded off screen: the window appears only when a download starts.
    adjustSize();
    move(-width(), -height());

    tmrStartDownload.setSingleShot(true);
    tmrStartDownload.setInterval(500);
    connect(&tmrStartDownload, &QTimer::timeout, this, &frmLiveUpdate::tmrStartDownload_Timer);
    tmrStartDownload.start();
}

void frmLiveUpdate::tmrStartDownload_Timer()
{
    tmrStartDownload.stop();
    m_running = true;
    m_update.run();
    m_running = false;
}

void frmLiveUpdate::setCompacted(QLabel* label, const QString& text)
{
    const QFontMetrics metrics(label->font());
    const int width = label->width();
    label->setText(
        CompactLabelText(text, [&](const QString& candidate) { return metrics.horizontalAdvance(candidate) <= width; }));
}

void frmLiveUpdate::setStatus(const QString& text) { m_status->setText(text); }
void frmLiveUpdate::setSource(const QString& text) { setCompacted(m_source, text); }
void frmLiveUpdate::setDestination(const QString& text) { setCompacted(m_destination, text); }
void frmLiveUpdate::setTimeLeft(const QString& text) { m_time->setText(text); }
void frmLiveUpdate::setRate(const QString& text) { m_rate->setText(text); }

void frmLiveUpdate::setProgress(qint64 value, qint64 maximum)
{
    // A size the server did not announce: the bar only shows that the download is alive.
    if (maximum < 0) {
        m_progress->setRange(0, 0);
        return;
    }
    // The bar counts in int; large files are shown in kilobytes.
    const int shift = maximum > INT_MAX ? 10 : 0;
    m_progress->setMaximum(int(std::max<qint64>(maximum >> shift, 1)));
    m_progress->setValue(int(std::min(value, maximum) >> shift));
}

void frmLiveUpdate::setCaption(const QString& text) { setWindowTitle(text); }
void frmLiveUpdate::startAnimation() { m_animation->start(); }
void frmLiveUpdate::stopAnimation() { m_animation->stop(); }

void frmLiveUpdate::showCentred()
{
    const QRect screen = (this->screen() ? this->screen() : QGuiApplication::primaryScreen())->availableGeometry();
    move(screen.center() - rect().center());
    show();
    raise();
}

void frmLiveUpdate::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        m_update.cancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmLiveUpdate::closeEvent(QCloseEvent* event)
{
    // Closing while a download runs cancels it; the run then ends and closes the window itself.
    if (m_running) {
        m_update.cancel();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace nw
