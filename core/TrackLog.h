// Every accepted fix of the run, in memory, in arrival order. Guarded by the model lock
// like the rest of the parser's state. Kept in fixed chunks, so a long run never copies
// what it already holds and never needs twice its size while growing.
#pragma once

#include "core/TrackPoint.h"

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

namespace movira {

class TrackLog {
public:
    // Points a chunk: 176,112 bytes, which with the allocator's 16-byte header fill 43 pages
    // exactly, so that a long run costs the 36 bytes of a point and next to nothing more.
    static constexpr size_t ChunkSize = 4892;

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const TrackPoint& operator[](size_t i) const { return (*chunks_[i / ChunkSize])[i % ChunkSize]; }
    const TrackPoint& back() const { return (*this)[size_ - 1]; }
    void append(const TrackPoint& point) {
        if (size_ % ChunkSize == 0) chunks_.push_back(std::make_unique<Chunk>());
        (*chunks_.back())[size_ % ChunkSize] = point;
        ++size_;
    }

private:
    using Chunk = std::array<TrackPoint, ChunkSize>;
    std::vector<std::unique_ptr<Chunk>> chunks_;
    size_t size_ = 0;
};

}  // namespace movira
