#pragma once

#include "listgen/generate_list.h"

#include <QObject>

class QTimer;

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

namespace vaskerel {

// Runs one generate off the window's thread. The run hands its progress and outcome over
// through atomics and a mutex only, and a timer on the window's thread turns them into signals,
// so no Qt object is touched from the run's thread. Destroying the worker cancels the run and
// waits for it.
class GenerateWorker : public QObject {
    Q_OBJECT

public:
    explicit GenerateWorker(QObject* parent = nullptr);
    ~GenerateWorker() override;

    void start(const listgen::ListRequest& request);
    void cancel() noexcept;
    // Cancels a run still going, waits until its thread has ended and drops its outcome, so
    // `finished` does not come for it.
    void stop();
    bool running() const noexcept { return running_; }

signals:
    void progressed(quint64 files, quint64 bytes);
    void finished(const listgen::Outcome& outcome);

private:
    void poll();

    QTimer* poll_;
    std::atomic<bool> cancel_{false};
    std::atomic<quint64> files_{0};
    std::atomic<quint64> bytes_{0};
    quint64 shownFiles_ = 0;
    quint64 shownBytes_ = 0;
    std::thread thread_;
    bool running_ = false;
    std::mutex handoff_;
    // The outcome of the run that ended last and has not been delivered yet.
    std::optional<listgen::Outcome> pending_;
};

} // namespace vaskerel
