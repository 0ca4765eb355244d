#pragma once

#include "listgen/generate_list.h"

#include <QDialog>

#include <chrono>

class QLabel;
class QPushButton;
class QTimer;

namespace vaskerel {

// Shows how far a run has got. It closes only when its owner deletes it: Cancel, Esc and the
// window's close button ask for a cancel, Enter does nothing, so no stray key throws a run away.
class ProgressDialog : public QDialog {
    Q_OBJECT

public:
    ProgressDialog(QWidget* owner, std::chrono::steady_clock::time_point runStart);

    void setProgress(const listgen::Progress& progress);
    bool cancelling() const noexcept { return cancelling_; }

signals:
    void cancelRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void requestCancel();
    void refresh();

    std::chrono::steady_clock::time_point runStart_;
    listgen::Progress progress_;
    bool cancelling_ = false;
    QLabel* status_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QTimer* clock_ = nullptr;
};

} // namespace vaskerel
