#pragma once

#include <cstddef>

namespace listgen {

// Memory for data in flight, mapped on its own and asking for huge pages, so that the kernel's
// copies into it and the hashing out of it miss the TLB less. Throws std::bad_alloc when
// refused.
class BufferMemory {
public:
    explicit BufferMemory(std::size_t size);
    ~BufferMemory();
    BufferMemory(const BufferMemory&) = delete;
    BufferMemory& operator=(const BufferMemory&) = delete;

    char* get() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }
    // For a reader whose requests the kernel may still fill: the memory stays mapped.
    void abandon() noexcept { data_ = nullptr; }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace listgen
