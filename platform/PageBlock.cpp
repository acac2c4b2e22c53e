#include "platform/PageBlock.h"

#include <sys/mman.h>

#include <new>
#include <utility>

namespace movira {

PageBlock::PageBlock(size_t bytes, Fill fill) : size_(bytes) {
    // The fill is a request: pages the system cannot map now are mapped on touch instead.
    const int flags = MAP_PRIVATE | MAP_ANONYMOUS | (fill == Fill::AtOnce ? MAP_POPULATE : 0);
    void* mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (bytes == 0 || mapped == MAP_FAILED) throw std::bad_alloc();
    data_ = mapped;
}

PageBlock::PageBlock(PageBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

PageBlock& PageBlock::operator=(PageBlock&& other) noexcept {
    if (this != &other) {
        if (data_) munmap(data_, size_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

PageBlock::~PageBlock() {
    if (data_) munmap(data_, size_);
}

}  // namespace movira
