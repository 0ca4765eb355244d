#pragma once

#include "listgen/read/buffer_memory.h"

#include <cstddef>
#include <deque>

namespace listgen {

// Room for files read whole, taken as a ring: pieces are taken in order and given back in any
// order, and the oldest end comes free as soon as its pieces are back, so a slow piece holds
// up only the room behind it, never the whole arena.
class WholeFileArena {
public:
    explicit WholeFileArena(std::size_t size);

    // A piece of `size` bytes (rounded up to a cache line), or nullptr while there is no room.
    char* take(std::size_t size);
    // `data` must come from take() and not have been given back yet.
    void giveBack(const char* data);

    bool empty() const noexcept { return pieces_.empty(); }
    std::size_t size() const noexcept { return memory_.size(); }
    // For a reader whose requests the kernel may still fill: the memory is never given back.
    void abandon() noexcept { memory_.abandon(); }

private:
    struct Piece {
        std::size_t offset;
        std::size_t size;
        bool given;
    };

    BufferMemory memory_;
    // In the order taken; the first is the oldest end of the ring.
    std::deque<Piece> pieces_;
    std::size_t head_ = 0;
};

} // namespace listgen
