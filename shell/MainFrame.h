// The program's only window, titled "Movira". It shows the frames the paint thread
// finishes, forwards taps, drags and the Left/Right keys to the pages, and carries out
// the commands that buttons and the core post to it. It owns the core from the moment the
// initialisation thread hands it over until the window object goes.
// UI thread, except where a function says otherwise.
#pragma once

#include "display/ScreenWindow.h"
#include "platform/WindowPort.h"

#include <QImage>
#include <QWidget>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace movira {

class AppCore;
class OptionsSheet;
class WidgetManager;

class MainFrame final : public QWidget, public WindowPort, public ScreenWindow {
    Q_OBJECT

public:
    // Builds the core with its pages and loads the settings; runs on the initialisation thread.
    using CoreFactory = std::function<std::unique_ptr<AppCore>()>;

    MainFrame(CoreFactory makeCore, std::string snapshotDir);
    // Waits for the initialisation thread, then shuts the core down: tracks, settings, pages.
    ~MainFrame() override;

    // Starts the initialisation thread: it builds the core, gives it this window (which
    // starts the GPS connection) and hands the core over to the UI thread.
    void startInitialisation();
    // Null until the hand-over.
    AppCore* core() const { return core_.get(); }
    // The options dialog while it is open (ShowOptions), else null.
    OptionsSheet* optionsSheet() const { return options_; }
    WidgetManager* widgets() const { return widgets_; }
    // The confirmations ask through message boxes titled "Speedometer".
    static QString confirmationTitle() { return QStringLiteral("Speedometer"); }
    // The last frame handed over by the paint thread, at its logical size (any thread).
    QImage lastFrame() const;
    // Draws each page once more and saves DIR/<PageClass>.png; false when one failed.
    bool writeSnapshots();

    // WindowPort (any thread)
    bool isWindow() const override { return shown_; }
    void post(int userCommand) override;
    // ScreenWindow (any thread)
    bool isShown() const override { return shown_; }
    Size clientSize() const override;
    int dpiX() const override { return dpi_; }
    int dpiY() const override { return dpi_; }
    void presentFrame(const QImage& frame, Size source) override;

    // A command as it arrives from a button or the core; wParam other than 0 is ignored.
    void onCommand(int wParam, int command);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // Run on the UI thread when another thread wakes it.
    Q_INVOKABLE void takeCore();
    Q_INVOKABLE void runWaitingCommands();
    Q_INVOKABLE void showNewFrame();
    void wakeUiThread(const char* method);
    void joinInitialisation();
    bool confirm(const QString& text);
    void updateMetrics();
    Point devicePoint(const QMouseEvent* event) const;

    const CoreFactory makeCore_;
    const std::string snapshotDir_;
    bool snapshotsWritten_ = false;
    std::thread initThread_;
    std::mutex handOverMutex_;            // guards pendingCore_
    std::unique_ptr<AppCore> pendingCore_;  // made by the initialisation thread, not yet taken
    std::unique_ptr<AppCore> core_;
    WidgetManager* widgets_ = nullptr;    // the core's pages
    OptionsSheet* options_ = nullptr;     // while the options dialog is open
    std::atomic<bool> shown_{false};
    std::atomic<int> deviceWidth_{0};
    std::atomic<int> deviceHeight_{0};
    std::atomic<int> dpi_{96};
    mutable std::mutex frameMutex_;       // guards frame_
    QImage frame_;
    std::atomic<bool> frameEventPending_{false};
    static constexpr size_t kMaxWaitingCommands = 256;
    std::mutex commandMutex_;             // guards commands_
    std::deque<int> commands_;            // posted from any thread, run on the UI thread
};

}  // namespace movira
