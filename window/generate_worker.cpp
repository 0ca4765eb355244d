#include "window/generate_worker.h"

#include <QMetaObject>

namespace vaskerel {

GenerateWorker::GenerateWorker(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<listgen::Outcome>();
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
    const unsigned run = ++run_;
    thread_ = std::thread([this, request, run] {
        const listgen::Outcome outcome = listgen::GenerateList(
            request, [this](const listgen::Progress& progress) { emit progressed(progress.files, progress.bytes); },
            cancel_);
        QMetaObject::invokeMethod(this, [this, run, outcome] { deliver(run, outcome); }, Qt::QueuedConnection);
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
}

void GenerateWorker::deliver(unsigned run, const listgen::Outcome& outcome)
{
    // An outcome that arrives after its run was stopped and replaced belongs to nobody.
    if (run != run_)
        return;
    if (thread_.joinable())
        thread_.join();
    running_ = false;
    emit finished(outcome);
}

} // namespace vaskerel
