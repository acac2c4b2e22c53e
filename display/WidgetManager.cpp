#include "display/WidgetManager.h"

#include "core/AppCore.h"
#include "display/FullScreenSpeedWidget.h"
#include "display/PathWidget.h"
#include "display/SattelitesWidget.h"
#include "display/ScreenWindow.h"
#include "display/SpeedChartWidget.h"
#include "display/SpeedometerWidget.h"
#include "display/TableWidget.h"

namespace movira {
namespace {

constexpr float kSlideStep = 0.2f;

}  // namespace

WidgetManager::WidgetManager(AppCore& core, const Clock& clock)
    : core_(core), countdowns_(clock), paintThread_([this] { paintLoop(); }) {}

WidgetManager::~WidgetManager() {
    {
        std::lock_guard lock(wakeMutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (paintThread_.joinable()) paintThread_.join();
}

void WidgetManager::createWidgets() {
    std::vector<std::unique_ptr<Widget>> pages;
    pages.push_back(std::make_unique<TableWidget>(core_, *this));
    pages.push_back(std::make_unique<SpeedometerWidget>(core_, *this));
    pages.push_back(std::make_unique<FullScreenSpeedWidget>(core_, *this));
    pages.push_back(std::make_unique<SattelitesWidget>(core_, *this));
    pages.push_back(std::make_unique<SpeedChartWidget>(core_, *this));
    pages.push_back(std::make_unique<PathWidget>(core_, *this));
    {
        auto frame = lockFrame();
        pages_ = std::move(pages);
    }
    for (auto& page : pages_) page->createBaseButtons();
}

void WidgetManager::notifyFix() {
    for (auto& page : pages_) page->attach();
}

void WidgetManager::loadSettings(const IniFile& ini) {
    auto frame = lockFrame();
    for (auto& page : pages_) page->loadSettings(ini);
}

void WidgetManager::saveSettings(IniFile& ini) {
    auto frame = lockFrame();
    for (auto& page : pages_) page->saveSettings(ini);
}

int WidgetManager::currentIndex() const { return static_cast<int>(position_ + 0.5f); }

int WidgetManager::wrap(int index) const {
    if (index < 0) return pageCount() - 1;
    if (index >= pageCount()) return 0;
    return index;
}

void WidgetManager::setCurrentIndex(int index) { position_ = static_cast<float>(wrap(index)); }

void WidgetManager::setPosition(float position) {
    const float whole = static_cast<float>(static_cast<int>(position));
    if (position == whole) {
        setCurrentIndex(static_cast<int>(position));
    } else {
        position_ = position;
    }
}

Size WidgetManager::clientSize() const {
    const ScreenWindow* window = window_;
    return window ? window->clientSize() : Size{};
}

int WidgetManager::dpiX() const {
    const ScreenWindow* window = window_;
    return window ? window->dpiX() : 96;
}

void WidgetManager::requestRepaint(ScreenWindow& window) {
    {
        auto frame = lockFrame();
        if (!surface_) surface_ = std::make_unique<Surface>();
        surface_->resize(window);
        window_ = &window;
        // The bars follow the window's shape at once, not only at the next fix, so that what
        // is drawn and what a tap hits agree from the first frame on.
        layoutBars(window.clientSize());
    }
    {
        std::lock_guard lock(wakeMutex_);
        repaintRequested_ = true;
    }
    wake_.notify_one();
}

void WidgetManager::layoutBars(Size client) {
    if (pages_.empty()) return;
    const Widget& first = *pages_.front();
    const ButtonEdge common = first.commonBar().edge();
    const ButtonEdge own = first.ownBar().edge();
    for (auto& page : pages_) page->layoutBars(client);
    // A bar that moves to another edge takes its countdown along: turning the window
    // neither brings hidden bars back nor hides shown ones.
    if (first.commonBar().edge() != common) countdowns_.carry(common, first.commonBar().edge());
    if (first.ownBar().edge() != own) countdowns_.carry(own, first.ownBar().edge());
}

void WidgetManager::requestRepaintFromCurrent() {
    if (ScreenWindow* window = window_) requestRepaint(*window);
}

void WidgetManager::slideNext() {
    const int base = currentIndex();
    const int target = base + 1;
    for (float p = static_cast<float>(base); p < static_cast<float>(target); p += kSlideStep) {
        setPosition(p);
        requestRepaintFromCurrent();
    }
    setCurrentIndex(target);
}

void WidgetManager::slidePrevious() {
    const int base = currentIndex();
    const int target = base - 1;
    for (float p = static_cast<float>(base); p > static_cast<float>(target); p -= kSlideStep) {
        setPosition(p);
        requestRepaintFromCurrent();
    }
    setCurrentIndex(target);
}

void WidgetManager::onMouseDown(Point point) {
    const int index = currentIndex();
    if (index >= 0 && index < pageCount()) pages_[index]->onMouseDown(point);
}

void WidgetManager::onMouseMove(Point point) {
    const int index = currentIndex();
    if (index >= 0 && index < pageCount()) pages_[index]->onMouseMove(point);
}

void WidgetManager::onDoubleClick() {
    const int index = currentIndex();
    if (index >= 0 && index < pageCount()) pages_[index]->onDoubleClick();
}

void WidgetManager::onMouseUp(Point point) {
    if (pages_.empty()) return;
    const float p = position_;
    int index = pageCount() - 1;
    if (p >= 0) {
        index = static_cast<int>(p + 0.5f);
        if (index >= pageCount()) index = 0;
    }
    position_ = static_cast<float>(index);
    pages_[index]->onMouseUp(point);
}

bool WidgetManager::toggleMirror() {
    auto frame = lockFrame();
    if (!surface_) return false;
    surface_->setMirror(!surface_->mirror());
    return true;
}

bool WidgetManager::toggleRotate() {
    auto frame = lockFrame();
    if (!surface_) return false;
    surface_->setRotate(!surface_->rotate());
    // The buffers take their turned shape before the next frame is drawn into them.
    if (ScreenWindow* window = window_) surface_->resize(*window);
    return true;
}

void WidgetManager::composeFrame(Surface& surface, float p) {
    const int n = pageCount();
    if (n == 0) return;
    const Rect r = surface.bounds();
    const int rounded = static_cast<int>(p + 0.5f);
    if (p == static_cast<float>(rounded)) {
        Widget& page = *pages_[wrap(rounded)];
        page.paint(surface, r);
        surface.applyMirrorAndRotation();
        page.paintButtons(surface);
        return;
    }
    const int first = p < 0 ? n - 1 : static_cast<int>(p);
    const int second = (first + 1 >= n || p < 0) ? 0 : first + 1;
    const float s = static_cast<float>(first) > p ? p + 1.0f : p - static_cast<float>(first);
    const int w = r.width();
    const int shift = static_cast<int>(s * static_cast<float>(w));
    Rect a = r;
    a.left = r.left - shift - 1;
    a.right = a.left + w;
    Rect b = r;
    b.left = a.right + 2;
    b.right = b.left + w;
    pages_[first]->paint(surface, a);
    pages_[second]->paint(surface, b);
    surface.fillRect({a.right, r.top, a.right + 2, r.bottom}, SeamColour);
    surface.applyMirrorAndRotation();
    pages_[second]->paintButtons(surface);
}

void WidgetManager::paintFrame() {
    auto frame = lockFrame();
    const ScreenWindow* window = window_;
    if (!window || !window->isShown() || !surface_) return;
    composeFrame(*surface_, position_);
    surface_->present();
    ++framesPainted_;
}

void WidgetManager::paintLoop() {
    for (;;) {
        {
            std::unique_lock lock(wakeMutex_);
            wake_.wait(lock, [this] { return quit_ || repaintRequested_; });
            if (quit_) return;
            // Cleared before the frame: a request that arrives while it is drawn gets a frame of its own.
            repaintRequested_ = false;
        }
        paintFrame();
    }
}

QImage WidgetManager::renderPage(int index) {
    auto frame = lockFrame();
    const ScreenWindow* window = window_;
    if (!window || index < 0 || index >= pageCount()) return {};
    Surface surface;
    if (surface_) {
        surface.setMirror(surface_->mirror());
        surface.setRotate(surface_->rotate());
    }
    surface.resize(window->clientSize(), window->dpiX(), window->dpiY());
    composeFrame(surface, static_cast<float>(index));
    return surface.target().convertToFormat(QImage::Format_RGB32);
}

}  // namespace movira
