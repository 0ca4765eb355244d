#include "window/generate_worker.h"

#include <QTimer>

namespace vaskerel {

namespace {

constexpr int kPollMs = 50;

} // namespace

GenerateWorker::GenerateWorker(QObject* parent)
    : QObject(parent)
    , poll_(new QTimer(this))
{
    poll_->setInterval(kPollMs);
    connect(poll_, &QTimer::timeout, this, &GenerateWorker::poll);
}

GenerateWorker::~GenerateWorker()
{
    stop();
}

void GenerateWorker::start(const listgen::ListRequest& request)
{
    stop();
    cancel_.store(false);
    files_.store(0);
    bytes_.store(0);
    shownFiles_ = 0;
    shownBytes_ = 0;
    running_ = true;
    thread_ = std::thread([this, request] {
        listgen::Outcome outcome = listgen::GenerateList(
            request,
            [this](const listgen::Progress& progress) {
                files_.store(progress.files, std::memory_order_relaxed);
                bytes_.store(progress.bytes, std::memory_order_relaxed);
            },
            cancel_);
        const std::lock_guard lock(handoff_);
        pending_ = std::move(outcome);
    });
    poll_->start();
}

void GenerateWorker::cancel() noexcept
{
    cancel_.store(true);
}

void GenerateWorker::stop()
{
    cancel();
    if (thread_.joinable())
        thread_.join();
    poll_->stop();
    running_ = false;
    // The outcome of a stopped run belongs to nobody now.
    const std::lock_guard lock(handoff_);
    pending_.reset();
}

void GenerateWorker::poll()
{
    std::optional<listgen::Outcome> outcome;
    {
        const std::lock_guard lock(handoff_);
        outcome.swap(pending_);
    }
    const quint64 files = files_.load(std::memory_order_relaxed);
    const quint64 bytes = bytes_.load(std::memory_order_relaxed);
    if (files != shownFiles_ || bytes != shownBytes_) {
        shownFiles_ = files;
        shownBytes_ = bytes;
        emit progressed(files, bytes);
    }
    if (!outcome)
        return;
    if (thread_.joinable())
        thread_.join();
    poll_->stop();
    running_ = false;
    emit finished(*outcome);
}

} // namespace vaskerel
