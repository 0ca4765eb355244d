#include "window/generate_worker.h"

#include <QTimer>

namespace vaskerel {

namespace {

constexpr int kPollMs = 50;

} // namespace

GenerateWorker::GenerateWorker(QObject* parent, Run run)
    : QObject(parent)
    , run_(std::move(run))
    , poll_(new QTimer(this))
    , handoff_(std::make_shared<Handoff>())
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
    handoff_ = std::make_shared<Handoff>();
    shownFiles_ = 0;
    shownBytes_ = 0;
    running_ = true;
    thread_ = std::thread([handoff = handoff_, run = run_, request] {
        listgen::Outcome outcome = run(
            request,
            [&handoff](const listgen::Progress& progress) {
                handoff->files.store(progress.files, std::memory_order_relaxed);
                handoff->bytes.store(progress.bytes, std::memory_order_relaxed);
            },
            handoff->cancel);
        const std::lock_guard lock(handoff->mutex);
        handoff->outcome = std::move(outcome);
        handoff->done = true;
        handoff->ended.notify_all();
    });
    poll_->start();
}

void GenerateWorker::cancel() noexcept
{
    handoff_->cancel.store(true);
}

bool GenerateWorker::stop(std::chrono::milliseconds patience)
{
    cancel();
    poll_->stop();
    running_ = false;
    bool ended = true;
    {
        std::unique_lock lock(handoff_->mutex);
        if (patience == std::chrono::milliseconds::max())
            handoff_->ended.wait(lock, [this] { return handoff_->done || !thread_.joinable(); });
        else
            ended = handoff_->ended.wait_for(lock, patience, [this] { return handoff_->done || !thread_.joinable(); });
        // The outcome of a stopped run belongs to nobody now.
        handoff_->outcome.reset();
    }
    if (thread_.joinable()) {
        if (ended)
            thread_.join();
        else
            thread_.detach();
    }
    return ended;
}

void GenerateWorker::poll()
{
    std::optional<listgen::Outcome> outcome;
    {
        const std::lock_guard lock(handoff_->mutex);
        outcome.swap(handoff_->outcome);
    }
    const quint64 files = handoff_->files.load(std::memory_order_relaxed);
    const quint64 bytes = handoff_->bytes.load(std::memory_order_relaxed);
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
