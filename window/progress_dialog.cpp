#include "window/progress_dialog.h"

#include "window/message_boxes.h"
#include "window/progress_text.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace vaskerel {

namespace {

// The elapsed time moves even while one large file is read.
constexpr int kClockIntervalMs = 1000;

} // namespace

ProgressDialog::ProgressDialog(QWidget* owner, std::chrono::steady_clock::time_point runStart)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , runStart_(runStart)
    , status_(new QLabel(this))
    , cancelButton_(new QPushButton(QStringLiteral("キャンセル"), this))
    , clock_(new QTimer(this))
{
    setObjectName(QStringLiteral("progressDialog"));
    setWindowTitle(QString::fromUtf8(kApplicationTitle));
    // Not modal: the main window's close button must still reach it during a run.
    setWindowModality(Qt::NonModal);

    status_->setObjectName(QStringLiteral("progressStatus"));
    status_->setTextFormat(Qt::PlainText);
    // Wide enough for large counts, so the dialog does not grow as they do.
    const QString widest = QStringLiteral("平均速度: 0000.0 MiB/秒、ファイル 000000 個/秒");
    status_->setMinimumWidth(status_->fontMetrics().horizontalAdvance(widest));
    auto* bar = new QProgressBar(this);
    bar->setObjectName(QStringLiteral("progressBar"));
    // A bar that only moves says nothing to a screen reader without a name.
    bar->setAccessibleName(QStringLiteral("処理の進行状況"));
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    cancelButton_->setObjectName(QStringLiteral("progressCancel"));
    cancelButton_->setAutoDefault(false);
    cancelButton_->setDefault(false);
    connect(cancelButton_, &QPushButton::clicked, this, &ProgressDialog::requestCancel);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(bar);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    clock_->setInterval(kClockIntervalMs);
    connect(clock_, &QTimer::timeout, this, &ProgressDialog::refresh);
    clock_->start();
    refresh();
}

void ProgressDialog::setProgress(const listgen::Progress& progress)
{
    progress_ = progress;
    refresh();
}

void ProgressDialog::refresh()
{
    if (cancelling_)
        return;
    using std::chrono::milliseconds;
    const auto elapsed = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - runStart_);
    status_->setText(progressText(progress_, elapsed));
}

void ProgressDialog::requestCancel()
{
    if (cancelling_)
        return;
    cancelling_ = true;
    cancelButton_->setEnabled(false);
    status_->setText(QStringLiteral("キャンセルしています…"));
    emit cancelRequested();
}

void ProgressDialog::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        requestCancel();
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void ProgressDialog::closeEvent(QCloseEvent* event)
{
    // The dialog goes when the run has ended, not before.
    event->ignore();
    requestCancel();
}

} // namespace vaskerel
