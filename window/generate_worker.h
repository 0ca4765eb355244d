#pragma once

#include "listgen/generate_list.h"

#include <QObject>

#include <atomic>
#include <thread>

namespace vaskerel {

// Runs one generate off the window's thread. Progress and the outcome come back as queued
// signals; destroying the worker cancels the run and waits for it.
class GenerateWorker : public QObject {
    Q_OBJECT

public:
    explicit GenerateWorker(QObject* parent = nullptr);
    ~GenerateWorker() override;

    void start(const listgen::ListRequest& request);
    void cancel() noexcept;
    // Cancels a run still going and waits until its thread has ended.
    void stop();
    bool running() const noexcept { return running_; }

signals:
    void progressed(quint64 files, quint64 bytes);
    void finished(const listgen::Outcome& outcome);

private:
    void deliver(unsigned run, const listgen::Outcome& outcome);

    std::atomic<bool> cancel_{false};
    std::thread thread_;
    bool running_ = false;
    unsigned run_ = 0;
};

} // namespace vaskerel
