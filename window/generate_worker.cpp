#include "window/generate_worker.h"

#include <QMetaObject>

namespace vaskerel {

GenerateWorker::GenerateWorker(QObject* parent)
    : QObject(parent)
{
}

GenerateWorker::~GenerateWorker()
{
    stop();
}

void GenerateWorker::start(const listgen::ListRequest& request)
{
    stop();
    cancel_.store(false);
    running_ = true;
    thread_ = std::thread([this, request] {
        listgen::Outcome outcome = listgen::GenerateList(
            request, [this](const listgen::Progress& progress) { emit progressed(progress.files, progress.bytes); },
            cancel_);
        {
            const std::lock_guard lock(handoff_);
            pending_ = std::move(outcome);
        }
        QMetaObject::invokeMethod(this, &GenerateWorker::deliver, Qt::QueuedConnection);
    });
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
    running_ = false;
    // The outcome of a stopped run belongs to nobody now.
    const std::lock_guard lock(handoff_);
    pending_.reset();
}

void GenerateWorker::deliver()
{
    std::optional<listgen::Outcome> outcome;
    {
        const std::lock_guard lock(handoff_);
        outcome.swap(pending_);
    }
    if (!outcome)
        return;
    if (thread_.joinable())
        thread_.join();
    running_ = false;
    emit finished(*outcome);
}

} // namespace vaskerel
