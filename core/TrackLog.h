// Every accepted fix of the run, in memory, in arrival order. Guarded by the model lock
// like the rest of the parser's state. Kept in fixed chunks, so a long run never copies
// what it already holds and never needs twice its size while growing.
#pragma once

#include "core/TrackPoint.h"
#include "platform/PageBlock.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace movira {

class TrackLog {
public:
    // Points a chunk: 176,112 bytes, which fill 43 pages of 4 KiB but for 16 bytes, so that a
    // long run costs the 36 bytes of a point and next to nothing more.
    static constexpr size_t ChunkSize = 4892;

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const TrackPoint& operator[](size_t i) const { return points(chunks_[i / ChunkSize])[i % ChunkSize]; }
    const TrackPoint& back() const { return (*this)[size_ - 1]; }
    void append(const TrackPoint& point) {
        if (size_ % ChunkSize == 0) {
            // A run that has filled a chunk is a long one: its next chunks are mapped whole at
            // once. A short run (and every test or fuzz input) touches only the pages it uses.
            chunks_.emplace_back(ChunkSize * sizeof(TrackPoint),
                                 chunks_.empty() ? PageBlock::Fill::OnTouch : PageBlock::Fill::AtOnce);
        }
        std::construct_at(points(chunks_.back()) + size_ % ChunkSize, point);
        ++size_;
    }

private:
    static TrackPoint* points(const PageBlock& chunk) { return static_cast<TrackPoint*>(chunk.data()); }

    std::vector<PageBlock> chunks_;
    size_t size_ = 0;
};

}  // namespace movira
