// The sound player on Qt Multimedia, as the tests' machines have it: the offscreen platform
// and, usually, no audio output at all.
#include "platform/QtSoundPlayer.h"

#include "tests/support/Eventually.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace movira {
namespace {

namespace fs = std::filesystem;

const std::string kLimit = (fs::path(MOVIRA_SOURCE_DIR) / "data" / "sounds" / "Limit.wav").string();
const std::string kZero = (fs::path(MOVIRA_SOURCE_DIR) / "data" / "sounds" / "Zero.wav").string();
const std::string kMissing = "/nonexistent/Wav/Limit.wav";

// Runs what play() queued for the player's thread.
void runQueued() { QCoreApplication::sendPostedEvents(); }

std::string lastFile(const QtSoundPlayer& player) { return player.lastFile().toStdString(); }
std::string beepFile(const QtSoundPlayer& player) { return player.beepFile().toStdString(); }

TEST(QtSoundPlayer, TheBuiltInBeepIsAShortWave) {
    QtSoundPlayer player;
    const QString beep = player.beepFile();
    ASSERT_FALSE(beep.isEmpty());
    QFile file(beep);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("RIFF"));
    EXPECT_EQ(bytes.mid(8, 8), QByteArray("WAVEfmt "));
    EXPECT_GT(bytes.size(), 44 + 1000);
    EXPECT_LT(bytes.size(), 44 + 22050 * 2);  // under a second
}

TEST(QtSoundPlayer, PlayReturnsAtOnceFromAnotherThread) {
    QtSoundPlayer player;
    std::atomic<bool> returned{false};
    std::thread reader([&] {
        for (int i = 0; i < 50; ++i) player.play(i % 2 ? kMissing : kLimit);
        returned = true;
    });
    // This thread runs no event loop meanwhile: a play() that waited for it would never return.
    const bool inTime = test::eventually([&] { return returned.load(); });
    runQueued();  // lets a caller that wrongly waits go, so the test ends either way
    reader.join();
    EXPECT_TRUE(inTime);
    EXPECT_EQ(lastFile(player), beepFile(player));  // the last request was for the missing file
}

TEST(QtSoundPlayer, EachRequestResolvesToItsFileOrTheBeep) {
    QtSoundPlayer player;
    EXPECT_EQ(lastFile(player), "");
    player.play(kLimit);
    EXPECT_EQ(lastFile(player), "");  // nothing happens before the owning thread's loop runs
    runQueued();
    EXPECT_EQ(lastFile(player), kLimit);
    player.play(kMissing);
    runQueued();
    EXPECT_EQ(lastFile(player), beepFile(player));
    player.play(kLimit);
    player.play(kZero);  // replaces the one before
    runQueued();
    EXPECT_EQ(lastFile(player), kZero);
    player.play(MOVIRA_SOURCE_DIR);  // a folder is no sound file
    runQueued();
    EXPECT_EQ(lastFile(player), beepFile(player));
}

TEST(QtSoundPlayer, RequestsStillQueuedWhenThePlayerGoesAreDropped) {
    auto player = std::make_unique<QtSoundPlayer>();
    const QString beep = player->beepFile();
    player->play(kLimit);
    player->play(kMissing);
    player.reset();
    runQueued();
    EXPECT_FALSE(QFile::exists(beep));  // the beep's file goes with the player
}

}  // namespace
}  // namespace movira
