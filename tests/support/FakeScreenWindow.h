// A main window for the display tests: a client size and resolution the test sets, and
// the frames the paint thread hands over (the last one kept, all counted).
#pragma once

#include "display/ScreenWindow.h"

#include <QImage>

#include <atomic>
#include <mutex>

namespace movira::test {

class FakeScreenWindow final : public ScreenWindow {
public:
    FakeScreenWindow(int width, int height, int dpi = 96) : width_(width), height_(height), dpi_(dpi) {}

    bool isShown() const override { return shown; }
    Size clientSize() const override { return {width_, height_}; }
    int dpiX() const override { return dpi_; }
    int dpiY() const override { return dpi_; }
    void presentFrame(const QImage& frame, Size source) override {
        if (keepFrames) {
            std::lock_guard lock(mutex_);
            frame_ = frame.copy(0, 0, source.width, source.height);
        }
        ++presented;
    }

    void setClientSize(int width, int height) {
        width_ = width;
        height_ = height;
    }
    QImage frame() const {
        std::lock_guard lock(mutex_);
        return frame_.copy();
    }

    std::atomic<bool> shown{true};
    // Off: frames are only counted (benchmarks that measure the frame without its copy).
    std::atomic<bool> keepFrames{true};
    std::atomic<int> presented{0};

private:
    std::atomic<int> width_;
    std::atomic<int> height_;
    std::atomic<int> dpi_;
    mutable std::mutex mutex_;
    QImage frame_;
};

}  // namespace movira::test
