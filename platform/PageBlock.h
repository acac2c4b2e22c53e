// Whole pages of memory owned by one object: an anonymous, private mapping. Asked to fill at
// once, the system maps every page in one call; a block filled on touch costs a page fault at
// the first write to each page, which on a virtual machine is dearer than the write itself.
#pragma once

#include <cstddef>

namespace movira {

class PageBlock {
public:
    enum class Fill { OnTouch, AtOnce };

    // Zero-filled, page-aligned, at least `bytes` long. Throws std::bad_alloc when the system
    // has no room, as `new` does.
    PageBlock(size_t bytes, Fill fill);
    PageBlock(PageBlock&& other) noexcept;
    PageBlock& operator=(PageBlock&& other) noexcept;
    PageBlock(const PageBlock&) = delete;
    PageBlock& operator=(const PageBlock&) = delete;
    ~PageBlock();

    void* data() const { return data_; }
    size_t size() const { return size_; }

private:
    void* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace movira
