// A full-screen page: its title, the common bar of six buttons and a bar of its own, and
// the behaviour all pages share (tap handling, swipe to the next page, bar layout).
// Threads: paint and paintButtons run on the paint thread under the frame lock; attach on
// the GPS reader thread; mouse handlers on the UI thread; settings on the initialisation
// and UI threads.
#pragma once

#include "display/ButtonBar.h"
#include "display/Geometry.h"

#include <atomic>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <utility>

namespace movira {

class AppCore;
class IniFile;
class Surface;
class WidgetManager;

class Widget {
public:
    static constexpr size_t TextSize = 256;  // wide characters of the scratch text

    Widget(AppCore& core, WidgetManager& manager, std::wstring title);
    virtual ~Widget() = default;
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;

    // The class name: the page's settings section and the name of its snapshot file.
    virtual const char* className() const = 0;
    const std::wstring& title() const { return title_; }

    // Fills the common bar once: ResetAll, SMS (or an empty cell without the SMS
    // library), Options, FlipHor, RotateScreen, Close.
    virtual void createBaseButtons();
    // Pages fill their own bar here, once.
    virtual void createOwnButtons() {}
    // The page's content inside `rect`, which may lie partly outside the buffer during a slide.
    virtual void paint(Surface& surface, const Rect& rect) {
        (void)surface;
        (void)rect;
    }
    // The common bar, then the own bar, while the main window is shown.
    virtual void paintButtons(Surface& surface);
    // At every complete fix: the buttons (once), then the bars' edges for the window's shape.
    virtual void attach();
    // The common bar on the left and the own bar on the right of a landscape window, on the
    // top and the bottom otherwise. Frame lock held (the manager lays out all pages at once).
    void layoutBars(Size client);
    virtual void saveSettings(IniFile& ini) { (void)ini; }
    virtual void loadSettings(const IniFile& ini) { (void)ini; }
    // Points are client coordinates of the main window in device pixels.
    virtual void onMouseDown(Point point);
    virtual void onMouseMove(Point point);
    virtual void onMouseUp(Point point);
    // Hides both bars while either is visible, shows them otherwise.
    virtual void onDoubleClick();
    virtual void showButtons();

    ButtonBar& commonBar() { return commonBar_; }
    ButtonBar& ownBar() { return ownBar_; }
    const ButtonBar& commonBar() const { return commonBar_; }
    const ButtonBar& ownBar() const { return ownBar_; }

protected:
    AppCore& core() const { return core_; }
    WidgetManager& manager() const { return manager_; }
    // Appends cells to the own bar: (command, picture name under Pics, without ".png");
    // command 0 makes an empty cell. Only while the own bar is empty.
    void fillOwnBar(std::initializer_list<std::pair<int, const char*>> cells);
    // The own bar of the previous/next arrows: BtnLeft, four empty cells, BtnRight.
    void fillArrowBar();
    // A picture of the program folder's "Pics" folder.
    std::string picturePath(const char* name) const;
    // The own bar's cell under the point, or -1 (also where the common bar takes the tap
    // first). Hit testing a visible bar restarts its countdown, as any tap on it does.
    // Takes the frame lock.
    int ownBarCellAt(Point point);

    wchar_t text_[TextSize] = {};  // scratch for texts formatted while painting

private:
    // The cell of either bar under the point, common bar first; null when none.
    ImageButton* hitButton(Point point);

    AppCore& core_;
    WidgetManager& manager_;
    const std::wstring title_;
    ButtonBar commonBar_;
    ButtonBar ownBar_;
    bool fingerDown_ = false;       // UI thread
    Point downPoint_;               // UI thread
    int downIndex_ = 0;             // page current when the finger went down
    std::atomic<bool> rotated_{false};  // the surface's rotate flag at the last bar painting
};

}  // namespace movira
