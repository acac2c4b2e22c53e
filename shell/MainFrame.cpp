#include "shell/MainFrame.h"

#include "core/AppCore.h"
#include "core/UserCommand.h"
#include "display/Widget.h"
#include "display/WidgetManager.h"
#include "shell/OptionsSheet.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace movira {

MainFrame::MainFrame(CoreFactory makeCore, std::string snapshotDir)
    : makeCore_(std::move(makeCore)), snapshotDir_(std::move(snapshotDir)) {
    setWindowTitle(QStringLiteral("Movira"));
    // Every pixel comes from the paint thread's frames.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
}

MainFrame::~MainFrame() {
    joinInitialisation();
    takeCore();
    if (core_) {
        if (!snapshotsWritten_ && !snapshotDir_.empty()) writeSnapshots();
        widgets_ = nullptr;
        core_->shutdown();
        core_.reset();
    }
}

void MainFrame::startInitialisation() {
    if (initThread_.joinable()) return;
    initThread_ = std::thread([this] {
        std::unique_ptr<AppCore> core = makeCore_();
        if (!core) return;
        core->attachWindow(this);
        {
            std::lock_guard lock(handOverMutex_);
            pendingCore_ = std::move(core);
        }
        // The UI thread takes it; if the window is gone by then, its destructor does.
        wakeUiThread("takeCore");
    });
}

void MainFrame::joinInitialisation() {
    if (initThread_.joinable()) initThread_.join();
}

void MainFrame::takeCore() {
    std::unique_ptr<AppCore> core;
    {
        std::lock_guard lock(handOverMutex_);
        core = std::move(pendingCore_);
    }
    if (!core) return;
    joinInitialisation();
    core_ = std::move(core);
    widgets_ = dynamic_cast<WidgetManager*>(core_->display());
    if (widgets_) widgets_->requestRepaint(*this);
}

void MainFrame::post(int userCommand) {
    bool wake = false;
    {
        std::lock_guard lock(commandMutex_);
        wake = commands_.empty();
        // A window that is not serving its queue (closing) must not collect commands forever.
        if (commands_.size() < kMaxWaitingCommands) commands_.push_back(userCommand);
    }
    if (wake) wakeUiThread("runWaitingCommands");
}

void MainFrame::runWaitingCommands() {
    std::deque<int> commands;
    {
        std::lock_guard lock(commandMutex_);
        commands.swap(commands_);
    }
    for (int command : commands) onCommand(0, command);
}

Size MainFrame::clientSize() const { return {deviceWidth_, deviceHeight_}; }

void MainFrame::presentFrame(const QImage& frame, Size source) {
    {
        std::lock_guard lock(frameMutex_);
        frame_ = frame.copy(0, 0, source.width, source.height);
    }
    if (!frameEventPending_.exchange(true)) wakeUiThread("showNewFrame");
}

QImage MainFrame::lastFrame() const {
    std::lock_guard lock(frameMutex_);
    return frame_.copy();
}

bool MainFrame::writeSnapshots() {
    snapshotsWritten_ = true;
    if (!widgets_ || snapshotDir_.empty()) return false;
    const QDir dir(QString::fromStdString(snapshotDir_));
    if (!QDir().mkpath(dir.path())) return false;
    widgets_->requestRepaint(*this);
    bool allWritten = true;
    for (int i = 0; i < widgets_->pageCount(); ++i) {
        const QImage picture = widgets_->renderPage(i);
        const QString name = QString::fromLatin1(widgets_->page(i).className()) + ".png";
        allWritten = !picture.isNull() && picture.save(dir.filePath(name), "PNG") && allWritten;
    }
    return allWritten;
}

bool MainFrame::confirm(const QString& text) {
    QMessageBox box(QMessageBox::Question, confirmationTitle(), text, QMessageBox::Yes | QMessageBox::No, this);
    return box.exec() == QMessageBox::Yes;
}

void MainFrame::onCommand(int wParam, int command) {
    if (wParam != 0) return;
    switch (command) {
    case UserCommand::PrevWidget:
        if (widgets_) widgets_->slidePrevious();
        break;
    case UserCommand::NextWidget:
        if (widgets_) widgets_->slideNext();
        break;
    case UserCommand::ResetAll:
        if (core_ && confirm(core_->uiText().isRussian() ? QStringLiteral("Сбросить датчики?")
                                                         : QStringLiteral("Reset all sensors?"))) {
            core_->resetAllSensors();
            core_->requestRepaint();
        }
        break;
    case UserCommand::SendSms:
        // Queued for the reporter's sender: the window never waits for the modem.
        if (core_) core_->sms().sendNow();
        break;
    case UserCommand::ShowOptions:
        // Modal: the pages go on drawing and the reader on reading behind it.
        if (core_ && !options_) {
            OptionsSheet sheet(core_.get(), this);
            options_ = &sheet;
            sheet.exec();
            options_ = nullptr;
        }
        break;
    case UserCommand::CloseApp:
        if (core_ && confirm(core_->uiText().isRussian() ? QStringLiteral("Действительно выйти?")
                                                         : QStringLiteral("Confirm exit"))) {
            QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
        }
        break;
    case UserCommand::FlipHor:
        if (core_ && widgets_ && widgets_->toggleMirror()) core_->requestRepaint();
        break;
    case UserCommand::RotateScreen:
        if (core_ && widgets_ && widgets_->toggleRotate()) core_->requestRepaint();
        break;
    case UserCommand::Repaint:
        if (widgets_) widgets_->requestRepaint(*this);
        break;
    default:
        // Page commands (zoom, modes) were handled by their page; the rest mean nothing here.
        break;
    }
}

void MainFrame::wakeUiThread(const char* method) {
    // The call is queued by name: Qt makes and frees the queued call itself, and what it
    // announces waits under our own locks, so each hand-over between threads is one that the
    // race checker sees.
    QMetaObject::invokeMethod(this, method, Qt::QueuedConnection);
}

void MainFrame::showNewFrame() {
    frameEventPending_ = false;
    update();
}

void MainFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    std::lock_guard lock(frameMutex_);
    if (frame_.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // Nearest-neighbour scaling: a frame of logical pixels fills the device's client area.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect(), frame_);
}

void MainFrame::updateMetrics() {
    const double ratio = devicePixelRatioF();
    deviceWidth_ = static_cast<int>(std::lround(width() * ratio));
    deviceHeight_ = static_cast<int>(std::lround(height() * ratio));
    dpi_ = static_cast<int>(std::lround(96 * ratio));
}

void MainFrame::resizeEvent(QResizeEvent* event) {
    updateMetrics();
    QWidget::resizeEvent(event);
    if (widgets_) widgets_->requestRepaint(*this);
}

void MainFrame::showEvent(QShowEvent* event) {
    updateMetrics();
    shown_ = true;
    QWidget::showEvent(event);
    if (widgets_) widgets_->requestRepaint(*this);
}

void MainFrame::hideEvent(QHideEvent* event) {
    shown_ = false;
    QWidget::hideEvent(event);
}

void MainFrame::closeEvent(QCloseEvent* event) {
    // A close from outside (a signal) while the options are open closes them unapplied.
    if (options_) options_->reject();
    // The pages are drawn while the window still has its size and its buttons.
    if (!snapshotsWritten_ && !snapshotDir_.empty() && widgets_) writeSnapshots();
    event->accept();
}

void MainFrame::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Left) {
        if (widgets_) widgets_->slidePrevious();
    } else if (event->key() == Qt::Key_Right) {
        if (widgets_) widgets_->slideNext();
    }
}

Point MainFrame::devicePoint(const QMouseEvent* event) const {
    const double ratio = devicePixelRatioF();
    const QPointF p = event->position();
    return {static_cast<int>(std::floor(p.x() * ratio)), static_cast<int>(std::floor(p.y() * ratio))};
}

void MainFrame::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && widgets_) widgets_->onMouseDown(devicePoint(event));
}

void MainFrame::mouseMoveEvent(QMouseEvent* event) {
    if (widgets_) widgets_->onMouseMove(devicePoint(event));
}

void MainFrame::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && widgets_) widgets_->onMouseUp(devicePoint(event));
}

void MainFrame::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && widgets_) widgets_->onDoubleClick();
}

}  // namespace movira
