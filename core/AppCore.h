// The central object: owns the GPS connection and the reader thread, the parser with
// the fix and track log, the settings store and the "Main" settings.
// Setters, start, stop and shutdown run on the UI (or initialisation) thread; the
// reader thread runs the per-fix fan-out; accessors may be called from any thread.
#pragma once

#include "core/BacklightKeeper.h"
#include "core/GpsApiLibrary.h"
#include "core/Guarded.h"
#include "core/Model.h"
#include "core/PageDisplay.h"
#include "core/UiText.h"
#include "events/SpeedAlarms.h"
#include "platform/Event.h"
#include "platform/FileFailure.h"
#include "platform/PlatformServices.h"
#include "platform/SerialPort.h"
#include "settings/IniFile.h"
#include "sms/SmsReporter.h"
#include "track/TrackJournal.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace movira {

class SentenceCutter;
class WindowPort;

class AppCore {
public:
    explicit AppCore(const PlatformServices& services);
    ~AppCore();
    AppCore(const AppCore&) = delete;
    AppCore& operator=(const AppCore&) = delete;

    // Remembers where the settings file and the default track folder live, then loads
    // the settings. `homeFolder` empty means the program folder; `defaultTrackFolder`
    // empty means "Tracks" in the home folder.
    void initialize(const std::string& homeFolder, const std::string& defaultTrackFolder = {});
    // Null stops the connection; a window starts it unless the reader already runs.
    void attachWindow(WindowPort* window);

    // Stops, then starts the connection in the configured mode. False when the port's
    // line settings cannot be read (no reader then).
    bool startGps();
    bool stopGps();
    bool isReaderRunning() const;
    void requestRepaint();
    // Posts a command to the main window, if there is one (any thread).
    void postCommand(int userCommand);

    // The pages: adopted once, before initialize; shut down with the core.
    void adoptDisplay(std::unique_ptr<PageDisplay> display);
    PageDisplay* display() { return display_.get(); }
    // Whether the SMS library could be bound (its button is shown then).
    bool isSmsAvailable() const { return sms_->isAvailable(); }

    std::string getTrackFolder();
    // What getTrackFolder gives, without storing the default (so the settings keep it empty).
    std::string trackFolderOrDefault() const;
    void setTrackFolder(const std::string& folder);
    void setUseGpsApi(bool useGpsApi);
    void setComPort(const std::string& name);
    void setBaudRate(int baudRate);
    void setEnableKmlTrack(bool enable);
    void setEnableGpxTrack(bool enable);
    void setAlwaysOn(bool alwaysOn) { alwaysOn_ = alwaysOn; }
    void setCurrentWidget(int index) { currentWidget_ = index; }

    bool useGpsApi() const { return useGpsApi_; }
    int gpsApiActive() const { return gpsApiActive_; }
    int baudRate() const { return baudRate_; }
    std::string comPortName() const;
    const std::string& programFolder() const { return programFolder_; }
    std::string homeFolder() const;
    // Where track files go while the settings name no folder of their own.
    std::string defaultTrackFolder() const;
    bool alwaysOn() const { return alwaysOn_; }
    bool enableKmlTrack() const { return enableKmlTrack_; }
    bool enableGpxTrack() const { return enableGpxTrack_; }
    int currentWidget() const { return currentWidget_; }
    bool isBacklightHeld() const;
    GpsApiLibrary& gpsApi() { return *gpsApi_; }
    const UiText& uiText() const { return *uiText_; }
    const Clock& clock() const { return clock_; }
    const Battery& battery() const { return battery_; }
    IniFile& ini() { return *ini_; }
    // The speed alarms, for the options page (they guard themselves).
    SpeedAlarms& alarms() { return *alarms_; }
    // The SMS reporter, for the SendSms command and the options page (it guards itself).
    SmsReporter& sms() { return *sms_; }
    std::string settingsPath() const;
    // Where the journals of runs that have not yet become track files wait.
    std::string journalFolder() const;
    // The last settings file, track file or journal that could not be written, with the reason;
    // empty when none (any thread). Each one is also said on standard error.
    std::string lastFailure() const { return failures_.last(); }

    // While running, the settings are saved at most this often, when something saved changed.
    static constexpr std::chrono::milliseconds SaveInterval{60'000};
    // Before initialize: another interval (tests).
    void setSaveInterval(std::chrono::milliseconds interval) { saveInterval_ = interval; }

    // The fix, satellites, track log and sensors, locked for as long as the result lives.
    Guarded<Model>::Locked model() { return model_.lock(); }
    // Every sensor back to its initial state (the confirmed ResetAll command).
    void resetAllSensors();

    // Reader thread only: one sentence, or one record (null when none could be fetched).
    void onSentence(std::string_view sentence);
    void onSentenceInPlace(char* text, size_t size);
    void onPositionRecord(const PositionRecord* record);

    bool loadSettings();
    // Writes the settings file now (any thread but the reader; one save at a time).
    bool saveSettings();
    // The KML and/or GPX file of the run, as the flags say, into the track folder; false
    // when a file was due and could not be written.
    bool writeTracks();
    // Once, when the window goes: stops the reader, saves the settings, lets go of the screen.
    void shutdown();

private:
    void readerLoop();
    void readSerial(SentenceCutter& cutter);
    void pollLibrary();
    bool openPort(SerialPort& port, const std::string& name, int baudRate, bool& settingsReadable);
    void onFix();
    // Reader thread, under the model lock: a point the last fix added goes to the journal.
    void journalNewPoint(const Model& model, size_t pointsBefore);
    // The track files the run wants now, for its journal.
    TrackJournal::Run journalRun() const;
    // Saver thread: the settings once a minute, when they changed.
    void saverLoop();
    bool saveSettings(bool onlyWhenChanged);
    // As writeTracks, giving the files that could not be written.
    bool writeTracks(TrackJournal::Run& unwritten);
    void stopSaver();
    std::string defaultTrackFolderLocked() const;  // textMutex_ held

    std::atomic<bool> useGpsApi_{true};
    std::atomic<int> gpsApiActive_{-1};
    std::atomic<int> baudRate_{NoValueInt};
    std::thread readerThread_;
    std::atomic<bool> readerRunning_{false};
    FailureLog failures_;
    TrackJournal journal_{&failures_};  // the accepted points on disk while the reader runs
    std::unique_ptr<SerialPort> port_;  // touched by the reader only while it runs
    std::string openedPortName_;        // the name the reader may reopen after the port vanished
    bool portVanished_ = false;         // reader thread only
    mutable std::mutex textMutex_;      // guards the three texts below
    std::string comPortName_;
    std::string homeFolder_;
    std::string defaultTrackFolder_;  // empty: homeFolder_ + "/Tracks"
    std::string trackFolder_;
    const std::string programFolder_;
    std::atomic<bool> alwaysOn_{false};
    std::atomic<WindowPort*> mainWindow_{nullptr};
    std::atomic<bool> enableKmlTrack_{false};
    std::atomic<bool> enableGpxTrack_{false};
    std::atomic<int> currentWidget_{0};
    std::unique_ptr<GpsApiLibrary> gpsApi_;
    std::unique_ptr<UiText> uiText_;
    std::unique_ptr<IniFile> ini_;
    Guarded<Model> model_;
    std::unique_ptr<SmsReporter> sms_;  // after the sensors (in the model): it reads their fix
    std::unique_ptr<SpeedAlarms> alarms_;
    mutable std::mutex backlightMutex_;
    BacklightKeeper backlight_;
    Event stopEvent_{Event::Reset::Manual};
    bool settingsLoaded_ = false;
    std::mutex settingsMutex_;   // one save at a time; guards the settings store and the two below
    std::string savedText_;      // the file as last read or written
    bool settingsFailing_ = false;
    std::chrono::milliseconds saveInterval_ = SaveInterval;
    Event saverStop_{Event::Reset::Manual};
    std::thread saverThread_;
    bool shutDown_ = false;
    const Clock& clock_;
    const Battery& battery_;
    FontRegistry* const fontRegistry_;
    // Last: the pages use everything above, so they go first.
    std::unique_ptr<PageDisplay> display_;
};

}  // namespace movira
