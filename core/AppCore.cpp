#include "core/AppCore.h"

#include "core/SentenceCutter.h"
#include "core/UserCommand.h"
#include "platform/FontRegistry.h"
#include "platform/WindowPort.h"
#include "track/TrackWriter.h"
#include "settings/SettingText.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>

namespace movira {
namespace {

using namespace std::chrono_literals;

constexpr auto kIdlePause = 1000ms;    // between repaints without a source, and between library polls
constexpr auto kReadPause = 100ms;     // after every read of the port
constexpr auto kReadTimeout = 100ms;   // longest wait for bytes, so a stop is never stuck
constexpr char kSection[] = "Main";

bool isSupportedBaudRate(int rate) {
    switch (rate) {
    case 300: case 2400: case 4800: case 9600: case 19200: case 38400: case 57600: case 115200: return true;
    default: return false;
    }
}

// The two libraries lie beside the program; installed, its pictures and sounds lie elsewhere.
std::string libraryFolder(const PlatformServices& services) {
    return services.libraryFolder.empty() ? services.programFolder : services.libraryFolder;
}

}  // namespace

AppCore::AppCore(const PlatformServices& services)
    : programFolder_(services.programFolder),
      gpsApi_(std::make_unique<GpsApiLibrary>(libraryFolder(services))),
      uiText_(std::make_unique<UiText>()),
      ini_(std::make_unique<IniFile>()),
      model_(services.clock, *uiText_, services.battery),
      sms_(std::make_unique<SmsReporter>(libraryFolder(services), [this] { return model_.lock()->parser.fix(); })),
      alarms_(std::make_unique<SpeedAlarms>(services.soundPlayer)),
      backlight_(services.screenKeeper),
      clock_(services.clock),
      battery_(services.battery),
      fontRegistry_(services.fontRegistry) {}

AppCore::~AppCore() {
    stopSaver();
    if (!shutDown_) stopGps();
}

void AppCore::initialize(const std::string& homeFolder, const std::string& defaultTrackFolder) {
    {
        std::lock_guard lock(textMutex_);
        homeFolder_ = homeFolder.empty() ? programFolder_ : homeFolder;
        defaultTrackFolder_ = defaultTrackFolder;
    }
    // The large digits of the pages; without the file the face falls back to a system font.
    if (fontRegistry_) fontRegistry_->add(programFolder_ + "/lcd-u.ttf", "LCD");
    loadSettings();
    // Runs that did not end normally left their points in journals: they become the track files
    // those runs wanted, first. An earlier version's journal is taken for this run's settings.
    TrackJournal::recover(journalFolder(), journalRun(), &failures_);
    // A power cut loses at most the last minute of trip figures.
    if (!saverThread_.joinable()) saverThread_ = std::thread(&AppCore::saverLoop, this);
}

void AppCore::saverLoop() {
    while (!saverStop_.wait(saveInterval_)) saveSettings(true);
}

void AppCore::stopSaver() {
    saverStop_.set();
    if (saverThread_.joinable()) saverThread_.join();
}

void AppCore::attachWindow(WindowPort* window) {
    mainWindow_ = window;
    if (!window) {
        stopGps();
    } else if (!isReaderRunning()) {
        startGps();
    }
}

bool AppCore::isReaderRunning() const { return readerThread_.joinable() && readerRunning_; }

bool AppCore::openPort(SerialPort& port, const std::string& name, int baudRate, bool& settingsReadable) {
    settingsReadable = true;
    if (!port.open(name)) return false;
    if (isSupportedBaudRate(baudRate)) {
        if (!port.readSettings()) {
            // Not a serial line at all: do not keep it open.
            port.close();
            settingsReadable = false;
            return false;
        }
        port.setBaudRate(baudRate);  // a refusal keeps the port's own speed
    }
    return true;
}

bool AppCore::startGps() {
    stopGps();
    if (useGpsApi_) {
        gpsApi_->start();
        gpsApiActive_ = 0;
    } else {
        auto port = SerialPort::create();
        openedPortName_ = comPortName();
        portVanished_ = false;
        bool settingsReadable = true;
        openPort(*port, openedPortName_, baudRate_, settingsReadable);
        if (!settingsReadable) return false;
        port_ = std::move(port);  // closed when the open failed: the reader then runs idle
    }
    stopEvent_.reset();
    journal_.start(journalFolder(), journalRun());
    readerRunning_ = true;
    readerThread_ = std::thread(&AppCore::readerLoop, this);
    return true;
}

bool AppCore::stopGps() {
    if (!isReaderRunning()) {
        if (readerThread_.joinable()) readerThread_.join();
        journal_.stop();
        return true;
    }
    stopEvent_.set();
    if (gpsApiActive_ != -1) {
        gpsApi_->stop();
        gpsApiActive_ = -1;
    }
    // Every wait of the reader ends on the stop event or within a read time-out.
    readerThread_.join();
    journal_.stop();  // after the reader: every point it handed over is written
    if (port_) {
        port_->close();
        port_.reset();
    }
    return true;
}

void AppCore::readerLoop() {
    SentenceCutter cutter;
    while (!stopEvent_.isSet()) {
        if (useGpsApi_) {
            pollLibrary();
        } else {
            readSerial(cutter);
        }
    }
    readerRunning_ = false;
}

void AppCore::pollLibrary() {
    if (gpsApiActive_ == -1) {
        if (!stopEvent_.wait(kIdlePause)) requestRepaint();
        return;
    }
    PositionRecord record;
    for (;;) {
        const bool fetched = gpsApi_->fetch(record);
        // Without a record the fix is left without position, and the display still refreshes.
        onPositionRecord(fetched ? &record : nullptr);
        if (stopEvent_.wait(kIdlePause) || gpsApiActive_ == -1) return;
    }
}

void AppCore::readSerial(SentenceCutter& cutter) {
    SerialPort* port = port_.get();
    if (!port || !port->isOpen()) {
        if (stopEvent_.wait(kIdlePause)) return;
        requestRepaint();
        // A receiver that was unplugged while read is taken again when it comes back.
        if (port && portVanished_) {
            bool settingsReadable = true;
            portVanished_ = !openPort(*port, openedPortName_, baudRate_, settingsReadable);
        }
        return;
    }
    while (!stopEvent_.isSet()) {
        size_t count = 0;
        const auto result = port->read(cutter.freeSpace(), cutter.freeCapacity(), count, kReadTimeout);
        if (result == SerialPort::ReadResult::Vanished) {
            port->close();
            cutter.discard();
            portVanished_ = true;
            return;
        }
        if (result == SerialPort::ReadResult::Data) {
            try {
                cutter.cut(count, [this](SentenceCutter::Sentence s) { onSentenceInPlace(s.text, s.size); });
            } catch (...) {
                cutter.discard();  // the rest of this chunk is dropped; reading goes on
            }
        }
        if (stopEvent_.wait(kReadPause)) return;
    }
}

void AppCore::onSentence(std::string_view sentence) {
    bool fixComplete;
    {
        auto model = model_.lock();
        const size_t points = model->parser.trackPointCount();
        fixComplete = model->parser.parseSentence(sentence);
        // The sensors see every fix first, within the same lock: no page draws a half update.
        if (fixComplete) model->sensors.updateAll(model->parser.fix());
        if (fixComplete) journalNewPoint(*model, points);
    }
    if (fixComplete) onFix();
}

void AppCore::onSentenceInPlace(char* text, size_t size) {
    bool fixComplete;
    {
        auto model = model_.lock();
        const size_t points = model->parser.trackPointCount();
        fixComplete = model->parser.parseSentenceInPlace(text, size);
        if (fixComplete) model->sensors.updateAll(model->parser.fix());
        if (fixComplete) journalNewPoint(*model, points);
    }
    if (fixComplete) onFix();
}

void AppCore::onPositionRecord(const PositionRecord* record) {
    bool fixComplete;
    {
        auto model = model_.lock();
        const size_t points = model->parser.trackPointCount();
        fixComplete = model->parser.applyPositionRecord(record);
        if (fixComplete) model->sensors.updateAll(model->parser.fix());
        if (fixComplete) journalNewPoint(*model, points);
    }
    if (fixComplete) onFix();
}

void AppCore::journalNewPoint(const Model& model, size_t pointsBefore) {
    // Only while a track file is wanted; a fix that repeats the last point adds none.
    if (model.parser.trackPointCount() == pointsBefore || !(enableKmlTrack_ || enableGpxTrack_)) return;
    journal_.push(model.parser.trackLog().back());
}

void AppCore::resetAllSensors() { model_.lock()->sensors.resetAll(); }

void AppCore::adoptDisplay(std::unique_ptr<PageDisplay> display) { display_ = std::move(display); }

void AppCore::onFix() {
    if (display_) display_->notifyFix();
    {
        // A copy of the fix: no message is queued and no sound started under the model lock.
        const GpsFix fix = model_.lock()->parser.fix();
        sms_->tick(fix);  // hands a due message to the reporter's sender: never waits for a modem
        alarms_->check(fix);
    }
    {
        std::lock_guard lock(backlightMutex_);
        backlight_.onFix(alwaysOn_);
    }
    requestRepaint();
}

void AppCore::requestRepaint() { postCommand(UserCommand::Repaint); }

void AppCore::postCommand(int userCommand) {
    WindowPort* window = mainWindow_;
    if (window && window->isWindow()) window->post(userCommand);
}

bool AppCore::isBacklightHeld() const {
    std::lock_guard lock(backlightMutex_);
    return backlight_.isHeld();
}

std::string AppCore::getTrackFolder() {
    std::lock_guard lock(textMutex_);
    if (trackFolder_.empty()) trackFolder_ = defaultTrackFolderLocked();
    return trackFolder_;
}

std::string AppCore::trackFolderOrDefault() const {
    std::lock_guard lock(textMutex_);
    return trackFolder_.empty() ? defaultTrackFolderLocked() : trackFolder_;
}

std::string AppCore::defaultTrackFolder() const {
    std::lock_guard lock(textMutex_);
    return defaultTrackFolderLocked();
}

std::string AppCore::defaultTrackFolderLocked() const {
    if (!defaultTrackFolder_.empty()) return defaultTrackFolder_;
    return (homeFolder_.empty() ? programFolder_ : homeFolder_) + "/Tracks";
}

void AppCore::setTrackFolder(const std::string& folder) {
    if (folder.empty()) return;
    {
        std::lock_guard lock(textMutex_);
        trackFolder_ = folder;
    }
    journal_.setRun(journalRun());
}

void AppCore::setEnableKmlTrack(bool enable) {
    enableKmlTrack_ = enable;
    journal_.setRun(journalRun());
}

void AppCore::setEnableGpxTrack(bool enable) {
    enableGpxTrack_ = enable;
    journal_.setRun(journalRun());
}

TrackJournal::Run AppCore::journalRun() const {
    std::error_code error;
    // Absolute: the next start may run in another working folder.
    std::filesystem::path folder = std::filesystem::absolute(trackFolderOrDefault(), error);
    return TrackJournal::Run{error ? trackFolderOrDefault() : folder.lexically_normal().string(), enableKmlTrack_,
                             enableGpxTrack_};
}

void AppCore::setUseGpsApi(bool useGpsApi) {
    useGpsApi_ = useGpsApi;
    if (isReaderRunning()) startGps();
}

void AppCore::setComPort(const std::string& name) {
    {
        std::lock_guard lock(textMutex_);
        comPortName_ = name;
    }
    if (isReaderRunning()) startGps();
}

void AppCore::setBaudRate(int baudRate) { baudRate_ = baudRate; }

std::string AppCore::comPortName() const {
    std::lock_guard lock(textMutex_);
    return comPortName_;
}

std::string AppCore::homeFolder() const {
    std::lock_guard lock(textMutex_);
    return homeFolder_.empty() ? programFolder_ : homeFolder_;
}

std::string AppCore::settingsPath() const { return homeFolder() + "/Speedometer.ini"; }

std::string AppCore::journalFolder() const { return homeFolder() + "/Journals"; }

bool AppCore::loadSettings() {
    std::lock_guard settingsLock(settingsMutex_);
    FileFailure failure;
    const bool loaded = ini_->load(settingsPath(), &failure);
    settingsLoaded_ = loaded;
    // Said now: nothing the user changes in this run can reach the file.
    if (!loaded) failures_.report("the settings file", failure);
    savedText_ = ini_->text();
    setTrackFolder(ini_->getValue("TrackFolder", kSection));
    {
        std::lock_guard lock(textMutex_);
        comPortName_ = ini_->getValue("COMPort", kSection);
    }
    baudRate_ = SettingText::toInt(ini_->getValue("COMPortBaudRate", kSection));
    enableKmlTrack_ = ini_->getValue("EnableKMLTrack", kSection) == "true";
    enableGpxTrack_ = ini_->getValue("EnableGPXTrack", kSection) == "true";
    // The screen is kept on whatever the file says; the key only records the flag.
    alwaysOn_ = true;
    if (const std::string useGpsApi = ini_->getValue("UseGPSAPI", kSection); !useGpsApi.empty()) {
        useGpsApi_ = useGpsApi == "true";
    }
    model_.lock()->sensors.loadValues(*ini_);
    if (display_) display_->loadSettings(*ini_);
    sms_->loadSettings(*ini_);
    alarms_->loadSettings(*ini_, programFolder_);  // the sounds lie beside the program
    currentWidget_ = SettingText::toInt(ini_->getValue("LastCurrentWidget", kSection));
    if (display_) display_->setCurrentIndex(currentWidget_);
    return loaded;
}

bool AppCore::saveSettings() { return saveSettings(false); }

bool AppCore::saveSettings(bool onlyWhenChanged) {
    std::lock_guard settingsLock(settingsMutex_);
    std::string trackFolder, comPort;
    {
        std::lock_guard lock(textMutex_);
        trackFolder = trackFolder_;
        comPort = comPortName_;
    }
    ini_->setValue("TrackFolder", trackFolder, kSection);
    ini_->setValue("COMPort", comPort, kSection);
    ini_->setValue("COMPortBaudRate", std::to_string(baudRate_.load()), kSection);
    ini_->setValue("EnableKMLTrack", SettingText::flag(enableKmlTrack_), kSection);
    ini_->setValue("EnableGPXTrack", SettingText::flag(enableGpxTrack_), kSection);
    ini_->setValue("AlwaysOn", SettingText::flag(alwaysOn_), kSection);
    ini_->setValue("UseGPSAPI", SettingText::flag(useGpsApi_), kSection);
    if (display_) currentWidget_ = display_->currentIndex();
    ini_->setValue("LastCurrentWidget", std::to_string(currentWidget_.load()), kSection);
    model_.lock()->sensors.saveValues(*ini_);
    if (display_) display_->saveSettings(*ini_);
    sms_->saveSettings(*ini_);
    alarms_->saveSettings(*ini_);
    // A file that exists but could not be read is still the user's: never replace it with defaults.
    if (!settingsLoaded_) return false;
    std::string text = ini_->text();
    if (onlyWhenChanged && text == savedText_) return true;
    FileFailure failure;
    if (!ini_->save(settingsPath(), &failure)) {
        // A failing periodic save is said once, not every minute; the last save always.
        if (!settingsFailing_ || !onlyWhenChanged) failures_.report("the settings file", failure);
        settingsFailing_ = true;
        return false;
    }
    settingsFailing_ = false;
    savedText_ = std::move(text);
    return true;
}

bool AppCore::writeTracks() {
    TrackJournal::Run unwritten;
    return writeTracks(unwritten);
}

bool AppCore::writeTracks(TrackJournal::Run& unwritten) {
    const bool kml = enableKmlTrack_, gpx = enableGpxTrack_;
    unwritten = TrackJournal::Run{};
    if (!kml && !gpx) return true;
    const std::string folder = getTrackFolder();
    // Written from a copy: the reader and the pages are not held up while the files go to disk.
    TrackLog log;
    {
        auto model = model_.lock();
        const TrackLog& live = model->parser.trackLog();
        for (size_t i = 0; i < live.size(); ++i) log.append(live[i]);
    }
    const TrackWriter writer(log);
    FileFailure failure;
    unwritten = journalRun();
    unwritten.kml = kml && !writer.writeKml(folder, &failure);
    if (unwritten.kml) failures_.report("the track file", failure);
    unwritten.gpx = gpx && !writer.writeGpx(folder, &failure);
    if (unwritten.gpx) failures_.report("the track file", failure);
    return !unwritten.kml && !unwritten.gpx;
}

void AppCore::shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    // The reader first: every point it accepted is in the log when the tracks are written.
    stopGps();
    // No more ticks: what is queued goes to the SMS library, waiting for a hanging modem only briefly.
    sms_->stop();
    // Its points are in the track files now; when they could not be written, the next start
    // tries again from the journal, for the files still missing.
    TrackJournal::Run unwritten;
    if (writeTracks(unwritten)) {
        journal_.remove();
    } else if (enableKmlTrack_ && enableGpxTrack_ && unwritten.kml != unwritten.gpx && !journal_.path().empty()) {
        TrackJournal::narrow(journal_.path(), unwritten);
    }
    stopSaver();
    saveSettings();
    {
        std::lock_guard lock(backlightMutex_);
        backlight_.release();
    }
    mainWindow_ = nullptr;  // nothing more is posted
    display_.reset();       // ends the paint thread before the model goes
    if (fontRegistry_) fontRegistry_->removeAll();
}

}  // namespace movira
