#include "listgen/read/buffer_memory.h"

#include <sys/mman.h>

#include <new>

namespace listgen {

BufferMemory::BufferMemory(std::size_t size)
    : size_(size)
{
    void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED)
        throw std::bad_alloc();
    // Only advice: without transparent huge pages the memory works as well, a little slower.
    (void)::madvise(data, size, MADV_HUGEPAGE);
    data_ = static_cast<char*>(data);
}

BufferMemory::~BufferMemory()
{
    if (data_ != nullptr)
        ::munmap(data_, size_);
}

} // namespace listgen
