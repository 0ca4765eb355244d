#include "listgen/read/uring_ring.h"

#include "listgen/common/system_error.h"

#include <liburing.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace listgen {

namespace {

// Rings refused for lack of locked memory (kernels before 5.12 count rings against it) are
// tried again smaller, down to this.
constexpr unsigned kFewestEntries = 16;

int initRing(io_uring& ring, unsigned entries)
{
    io_uring_params params{};
    params.flags = IORING_SETUP_SINGLE_ISSUER | IORING_SETUP_COOP_TASKRUN | IORING_SETUP_SUBMIT_ALL;
    int result = io_uring_queue_init_params(entries, &ring, &params);
    if (result == -EINVAL) {
        params = {};
        result = io_uring_queue_init_params(entries, &ring, &params);
    }
    return result;
}

bool supportsEverything(io_uring& ring)
{
    io_uring_probe* probe = io_uring_get_probe_ring(&ring);
    if (probe == nullptr)
        return false;
    const bool complete = io_uring_opcode_supported(probe, IORING_OP_STATX) &&
                          io_uring_opcode_supported(probe, IORING_OP_OPENAT) &&
                          io_uring_opcode_supported(probe, IORING_OP_READ) &&
                          io_uring_opcode_supported(probe, IORING_OP_CLOSE) &&
                          io_uring_opcode_supported(probe, IORING_OP_ASYNC_CANCEL);
    io_uring_free_probe(probe);
    return complete;
}

// Some filters let a ring be set up but not entered (seccomp refusing io_uring_enter alone):
// one request that does nothing shows whether it can be used. 0 or -errno.
int enterOnce(io_uring& ring)
{
    io_uring_sqe* nothing = io_uring_get_sqe(&ring);
    if (nothing == nullptr)
        return -EBUSY;
    io_uring_prep_nop(nothing);
    int result = io_uring_submit_and_wait(&ring, 1);
    io_uring_cqe* cqe = nullptr;
    if (result >= 0)
        result = io_uring_peek_cqe(&ring, &cqe);
    if (cqe != nullptr)
        io_uring_cqe_seen(&ring, cqe);
    return result < 0 ? result : 0;
}

// Below this limit of open files, the ring's own descriptor is better spent on reading.
constexpr rlim_t kFewestOpenFiles = 64;

// Registered slots count against the limit of open files; none when the limit is too low.
unsigned slotsWithinLimit(unsigned wanted)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return wanted;
    if (limit.rlim_cur < kFewestOpenFiles)
        return 0;
    return static_cast<unsigned>(std::min<rlim_t>(wanted, limit.rlim_cur / 2));
}

} // namespace

std::unique_ptr<UringRing> UringRing::create(unsigned entries, unsigned slots, std::error_code& error)
{
    if (slotsWithinLimit(slots) == 0) {
        error.assign(EMFILE, std::generic_category());
        return nullptr;
    }
    auto ring = std::make_unique<io_uring>();
    int result = -ENOMEM;
    for (; entries >= kFewestEntries; entries /= 2) {
        result = initRing(*ring, entries);
        if (result != -ENOMEM)
            break;
    }
    if (result < 0) {
        error.assign(-result, std::generic_category());
        return nullptr;
    }
    std::unique_ptr<UringRing> made(new UringRing(std::move(ring)));
    made->capacity_ = made->ring_->sq.ring_entries;
    if (!supportsEverything(*made->ring_)) {
        error.assign(ENOSYS, std::generic_category());
        return nullptr;
    }
    if (const int entered = enterOnce(*made->ring_); entered < 0) {
        error.assign(-entered, std::generic_category());
        return nullptr;
    }
    made->slots_ = slotsWithinLimit(slots);
    if (made->slots_ == 0) {
        error.assign(EMFILE, std::generic_category());
        return nullptr;
    }
    if (const int registered = io_uring_register_files_sparse(made->ring_.get(), made->slots_); registered < 0) {
        error.assign(-registered, std::generic_category());
        return nullptr;
    }
    return made;
}

bool UringRing::available()
{
    io_uring ring{};
    if (initRing(ring, kFewestEntries) < 0)
        return false;
    const bool usable = supportsEverything(ring) && io_uring_register_files_sparse(&ring, 1) == 0 && enterOnce(ring) == 0;
    io_uring_queue_exit(&ring);
    return usable;
}

UringRing::UringRing(std::unique_ptr<io_uring> ring)
    : ring_(std::move(ring))
{
}

UringRing::~UringRing()
{
    io_uring_queue_exit(ring_.get());
}

void UringRing::submit()
{
    for (;;) {
        const int result = io_uring_submit(ring_.get());
        // Busy: completions must be taken first; they are, right after this.
        if (result >= 0 || result == -EBUSY || result == -EAGAIN)
            return;
        if (result != -EINTR)
            throw SystemError(RunAction::ReadThroughRing, "io_uring", -result);
    }
}

io_uring_sqe* UringRing::nextEntry()
{
    io_uring_sqe* entry = io_uring_get_sqe(ring_.get());
    if (entry == nullptr) {
        submit();
        entry = io_uring_get_sqe(ring_.get());
    }
    // The caller keeps within capacity(), so the queue always has room after a submit.
    if (entry == nullptr)
        throw std::logic_error("io_uring submission queue overrun");
    return entry;
}

void UringRing::measureAndOpen(int folderFd, const char* name, bool follow, int openFlags, struct statx* status,
                               unsigned slot, std::uint64_t measureTag, std::uint64_t openTag)
{
    // Both entries are taken first, so that a submit between them cannot split the link.
    if (io_uring_sq_space_left(ring_.get()) < 2)
        submit();
    io_uring_sqe* measure = nextEntry();
    io_uring_prep_statx(measure, folderFd, name, follow ? 0 : AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, status);
    io_uring_sqe_set_data64(measure, measureTag);
    measure->flags |= IOSQE_IO_LINK;
    io_uring_sqe* open = nextEntry();
    io_uring_prep_openat_direct(open, folderFd, name, openFlags | (follow ? 0 : O_NOFOLLOW), 0, slot);
    io_uring_sqe_set_data64(open, openTag);
}

void UringRing::read(unsigned slot, void* buffer, unsigned size, std::uint64_t offset, bool elsewhere,
                     std::uint64_t tag)
{
    io_uring_sqe* read = nextEntry();
    io_uring_prep_read(read, static_cast<int>(slot), buffer, size, offset);
    read->flags |= IOSQE_FIXED_FILE | (elsewhere ? IOSQE_ASYNC : 0);
    io_uring_sqe_set_data64(read, tag);
}

void UringRing::close(unsigned slot, std::uint64_t tag)
{
    io_uring_sqe* close = nextEntry();
    io_uring_prep_close_direct(close, slot);
    io_uring_sqe_set_data64(close, tag);
}

void UringRing::cancelAll(std::uint64_t tag)
{
    io_uring_sqe* cancel = nextEntry();
    io_uring_prep_cancel64(cancel, 0, IORING_ASYNC_CANCEL_ANY);
    io_uring_sqe_set_data64(cancel, tag);
}

std::size_t UringRing::submitAndTake(std::span<RingCompletion> out, std::chrono::milliseconds wait)
{
    submit();
    io_uring_cqe* cqe = nullptr;
    if (io_uring_peek_cqe(ring_.get(), &cqe) != 0 && wait.count() > 0) {
        __kernel_timespec timeout{wait.count() / 1000, (wait.count() % 1000) * 1'000'000};
        const int result = io_uring_wait_cqe_timeout(ring_.get(), &cqe, &timeout);
        if (result < 0 && result != -EINTR && result != -ETIME)
            throw SystemError(RunAction::WaitForRing, "io_uring", -result);
    }
    std::size_t taken = 0;
    unsigned head = 0;
    io_uring_for_each_cqe(ring_.get(), head, cqe)
    {
        if (taken == out.size())
            break;
        out[taken++] = {io_uring_cqe_get_data64(cqe), cqe->res};
    }
    io_uring_cq_advance(ring_.get(), static_cast<unsigned>(taken));
    return taken;
}

} // namespace listgen
