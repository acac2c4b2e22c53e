// What the display benchmarks share: a window that takes frames and keeps nothing, and a
// main that runs the benchmarks inside a Qt application on the offscreen platform.
#pragma once

#include "display/ScreenWindow.h"

#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace movira {

class BenchWindow final : public ScreenWindow {
public:
    BenchWindow(int width, int height) : client_{width, height} {}
    bool isShown() const override { return true; }
    Size clientSize() const override { return client_; }
    int dpiX() const override { return 96; }
    int dpiY() const override { return 96; }
    void presentFrame(const QImage& frame, Size source) override {
        benchmark::DoNotOptimize(frame.constBits());
        benchmark::DoNotOptimize(source);
    }

private:
    Size client_;
};

// Fonts and pictures need a Qt application; no display is needed.
inline int runBenchmarksWithQt(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace movira
