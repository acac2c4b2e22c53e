#include "platform/QtSoundPlayer.h"

#include <QAudioDevice>
#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMetaObject>
#include <QSoundEffect>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace movira {
namespace {

constexpr int kRate = 22050;
constexpr double kBeepHz = 880.0;
constexpr double kBeepSeconds = 0.12;
constexpr double kFadeSeconds = 0.005;

void appendLittleEndian(QByteArray& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A short sine beep as a complete WAV file: 16-bit mono PCM.
QByteArray beepWave() {
    const int count = static_cast<int>(kBeepSeconds * kRate);
    const int fade = static_cast<int>(kFadeSeconds * kRate);
    const uint32_t dataSize = static_cast<uint32_t>(count) * 2;
    QByteArray bytes;
    bytes.reserve(44 + static_cast<int>(dataSize));
    bytes.append("RIFF", 4);
    appendLittleEndian(bytes, 36 + dataSize, 4);
    bytes.append("WAVEfmt ", 8);
    appendLittleEndian(bytes, 16, 4);         // size of the format block
    appendLittleEndian(bytes, 1, 2);          // PCM
    appendLittleEndian(bytes, 1, 2);          // mono
    appendLittleEndian(bytes, kRate, 4);
    appendLittleEndian(bytes, kRate * 2, 4);  // bytes per second
    appendLittleEndian(bytes, 2, 2);          // bytes per frame
    appendLittleEndian(bytes, 16, 2);         // bits per sample
    bytes.append("data", 4);
    appendLittleEndian(bytes, dataSize, 4);
    for (int i = 0; i < count; ++i) {
        const double envelope = std::min({1.0, double(i) / fade, double(count - 1 - i) / fade});
        const double value = 0.5 * envelope * std::sin(2.0 * std::numbers::pi * kBeepHz * i / kRate);
        const auto sample = static_cast<int16_t>(std::lround(value * 32767.0));
        appendLittleEndian(bytes, static_cast<uint16_t>(sample), 2);
    }
    return bytes;
}

}  // namespace

QtSoundPlayer::QtSoundPlayer() : beep_(QDir::tempPath() + QStringLiteral("/movira-beep-XXXXXX.wav")) {
    if (beep_.open()) {
        const QByteArray bytes = beepWave();
        beepWritten_ = beep_.write(bytes) == bytes.size() && beep_.flush();
        beep_.close();  // the file stays until the player goes
    }
}

QtSoundPlayer::~QtSoundPlayer() = default;

QString QtSoundPlayer::beepFile() const { return beepWritten_ ? beep_.fileName() : QString(); }

bool QtSoundPlayer::hasAudioOutput() { return !QMediaDevices::audioOutputs().isEmpty(); }

void QtSoundPlayer::play(const std::string& path) {
    bool wake = false;
    {
        std::lock_guard lock(waitingMutex_);
        wake = !waiting_.has_value();
        waiting_ = path;
    }
    // Queued by name even on the owning thread: the caller never waits for the sound to load,
    // and the request itself crosses threads under our own lock.
    if (wake) QMetaObject::invokeMethod(this, "startWaiting", Qt::QueuedConnection);
}

void QtSoundPlayer::startWaiting() {
    std::optional<std::string> path;
    {
        std::lock_guard lock(waitingMutex_);
        path.swap(waiting_);
    }
    if (path) start(QString::fromStdString(*path));
}

void QtSoundPlayer::start(const QString& path) {
    const QFileInfo info(path);
    lastFile_ = info.isFile() && info.isReadable() ? path : beepFile();
    if (lastFile_.isEmpty() || !hasAudioOutput()) return;
    if (!effect_) {
        effect_ = std::make_unique<QSoundEffect>();
        QObject::connect(effect_.get(), &QSoundEffect::statusChanged, this, [this] { onStatusChanged(); });
    }
    const QUrl source = QUrl::fromLocalFile(lastFile_);
    effect_->stop();  // a new sound replaces the one still playing
    if (effect_->source() != source) effect_->setSource(source);
    effect_->play();  // starts when loaded, if the file is still loading
}

void QtSoundPlayer::onStatusChanged() {
    // A file that is there but is no sound Qt can read plays the beep instead.
    if (effect_->status() != QSoundEffect::Error) return;
    const QString beep = beepFile();
    if (beep.isEmpty() || effect_->source() == QUrl::fromLocalFile(beep)) return;
    lastFile_ = beep;
    effect_->setSource(QUrl::fromLocalFile(beep));
    effect_->play();
}

}  // namespace movira
