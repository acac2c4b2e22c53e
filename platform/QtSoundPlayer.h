// Plays the alarm sounds through Qt Multimedia (QSoundEffect).
// Lives on the thread that creates it, which must run Qt's event loop (the UI thread): play()
// may be called from any thread and only queues the request there, so a caller such as the
// GPS reader never waits. A new sound replaces one that still plays; a missing or unreadable
// file plays a short built-in beep; without an audio output nothing is played.
#pragma once

#include "platform/SoundPlayer.h"

#include <QObject>
#include <QString>
#include <QTemporaryFile>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

class QSoundEffect;

namespace movira {

class QtSoundPlayer final : public QObject, public SoundPlayer {
    Q_OBJECT

public:
    // Writes the built-in beep to a temporary file; without a writable temporary folder the
    // beep stays silent.
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    QtSoundPlayer(const QtSoundPlayer&) = delete;
    QtSoundPlayer& operator=(const QtSoundPlayer&) = delete;

    // Any thread; returns at once.
    void play(const std::string& path) override;

    // Owning thread only. The file the last request came to: the file asked for, or the
    // beep's file when that one was missing or could not be read. Empty before any.
    QString lastFile() const { return lastFile_; }
    // The built-in beep's file; empty when it could not be written.
    QString beepFile() const;
    // Whether sounds can be heard at all: the system offers an audio output.
    static bool hasAudioOutput();

private:
    // Owning thread: plays the request that waits, if any.
    Q_INVOKABLE void startWaiting();
    void start(const QString& path);  // owning thread
    void onStatusChanged();           // owning thread

    std::mutex waitingMutex_;           // guards waiting_
    std::optional<std::string> waiting_;  // the newest request: an older one would be replaced anyway

    QTemporaryFile beep_;
    bool beepWritten_ = false;
    std::unique_ptr<QSoundEffect> effect_;  // made with the first sound that can be heard
    QString lastFile_;
};

}  // namespace movira
