#pragma once

#include "listgen/generate_list.h"

#include <QObject>

class QTimer;

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace vaskerel {

// Runs one generate off the window's thread. The run hands its progress and outcome over
// through atomics and a mutex only, and a timer on the window's thread turns them into signals,
// so no Qt object is touched from the run's thread. Destroying the worker cancels the run and
// waits for it, unless it was left to itself by `stop` before.
class GenerateWorker : public QObject {
    Q_OBJECT

public:
    using Run = std::function<listgen::Outcome(const listgen::ListRequest&, const listgen::ProgressCallback&,
                                               const std::atomic<bool>& cancel)>;

    explicit GenerateWorker(QObject* parent = nullptr, Run run = listgen::GenerateList);
    ~GenerateWorker() override;

    void start(const listgen::ListRequest& request);
    void cancel() noexcept;
    // Cancels a run still going and drops its outcome, so `finished` does not come for it. Waits
    // up to `patience` for its thread to end; a thread stuck in a read that a cancel cannot
    // interrupt is then left to itself, and false returned.
    bool stop(std::chrono::milliseconds patience = std::chrono::milliseconds::max());
    bool running() const noexcept { return running_; }

signals:
    void progressed(quint64 files, quint64 bytes);
    void finished(const listgen::Outcome& outcome);

private:
    // What the run's thread shares with the window's; it lives as long as either needs it.
    struct Handoff {
        std::atomic<bool> cancel{false};
        std::atomic<quint64> files{0};
        std::atomic<quint64> bytes{0};
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        // The outcome of the run, until it is delivered.
        std::optional<listgen::Outcome> outcome;
    };

    void poll();

    Run run_;
    QTimer* poll_;
    std::shared_ptr<Handoff> handoff_;
    quint64 shownFiles_ = 0;
    quint64 shownBytes_ = 0;
    std::thread thread_;
    bool running_ = false;
};

} // namespace vaskerel
