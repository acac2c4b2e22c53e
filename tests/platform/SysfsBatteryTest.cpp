#include "platform/SysfsBattery.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <stdlib.h>

namespace movira {
namespace {

namespace fs = std::filesystem;
using std::chrono::hours;
using std::chrono::milliseconds;

// "failed", or the percent with " charging" when the bit is set: short to compare, clear when it fails.
std::string describe(const std::optional<BatteryStatus>& status) {
    if (!status) return "failed";
    return std::to_string(status->percent) + (status->charging ? " charging" : "");
}

// A power_supply folder of our own, laid out as the kernel does (files without a final newline
// are written as given).
class SysfsBatteryTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "power-supply-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        unsetenv(SysfsBattery::FolderVariable);
    }
    void TearDown() override {
        unsetenv(SysfsBattery::FolderVariable);
        fs::remove_all(folder_);
    }

    void write(const std::string& supply, const std::string& file, const std::string& bytes) const {
        fs::create_directories(folder_ / supply);
        std::ofstream(folder_ / supply / file, std::ios::binary) << bytes;
    }
    void battery(const std::string& name, const std::string& capacity, const std::string& status) const {
        write(name, "type", "Battery\n");
        write(name, "capacity", capacity);
        write(name, "status", status);
    }
    void mains(const std::string& name) const {
        write(name, "type", "Mains\n");
        write(name, "online", "1\n");
    }
    std::string read() const { return describe(SysfsBattery(folder_.string(), milliseconds(0)).status()); }

    fs::path folder_;
};

TEST_F(SysfsBatteryTest, FirstBatteryByNameGivesLevelAndCharging) {
    EXPECT_EQ(read(), "255");  // an empty folder, as on a machine without supplies

    mains("AC");
    EXPECT_EQ(read(), "255");  // a desktop

    battery("BAT1", "40\n", "Charging\n");
    EXPECT_EQ(read(), "40 charging");
    battery("BAT0", "87\n", "Discharging\n");
    EXPECT_EQ(read(), "87");

    // A mouse's battery is not the machine's, even when its name comes first.
    battery("A-mouse", "5\n", "Discharging\n");
    write("A-mouse", "scope", "Device\n");
    EXPECT_EQ(read(), "87");
}

TEST_F(SysfsBatteryTest, SuppliesReachedThroughLinksAsInSysfs) {
    const fs::path device = folder_.string() + "-device";
    fs::create_directories(device);
    std::ofstream(device / "type") << "Battery";
    std::ofstream(device / "capacity") << "64";
    std::ofstream(device / "status") << "Full";
    fs::create_directory_symlink(device, folder_ / "BAT0");
    EXPECT_EQ(read(), "64");
    fs::remove_all(device);
}

TEST_F(SysfsBatteryTest, CapacityIsClampedOrNotReported) {
    const struct {
        std::string capacity;
        uint8_t percent;
    } cases[] = {
        {"57", 57},
        {"57\n", 57},
        {"  57 \r\n", 57},
        {"0\n", 0},
        {"100\n", 100},
        {"150\n", 100},
        {"-3\n", 0},
        {"", 255},
        {"garbage\n", 255},
        {"57%\n", 255},
        {"5 7\n", 255},
        {"+57\n", 255},
        {"99999999999999999999999999\n", 255},
        {"42" + std::string(1 << 20, '\n'), 42},  // only the start of a huge file is read
        {"42" + std::string(1 << 20, 'x'), 255},
        {std::string("4\0002", 3), 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capacity.substr(0, 20));
        battery("BAT0", c.capacity, "Discharging");
        EXPECT_EQ(read(), std::to_string(c.percent));
    }
    fs::remove(folder_ / "BAT0" / "capacity");
    EXPECT_EQ(read(), "255");
}

TEST_F(SysfsBatteryTest, OnlyChargingSetsTheChargingBit) {
    const struct {
        std::string status;
        bool charging;
    } cases[] = {
        {"Charging", true}, {"Charging\n", true},   {"Discharging\n", false}, {"Full\n", false},
        {"Not charging\n", false}, {"Unknown\n", false}, {"charging\n", false}, {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        battery("BAT0", "70\n", c.status);
        EXPECT_EQ(read(), c.charging ? "70 charging" : "70");
    }
    fs::remove(folder_ / "BAT0" / "status");
    EXPECT_EQ(read(), "70");
}

TEST_F(SysfsBatteryTest, AFolderThatCannotBeReadFailsTheQuery) {
    EXPECT_FALSE(SysfsBattery((folder_ / "missing").string(), milliseconds(0)).status());
    std::ofstream(folder_ / "file") << "Battery\n";
    EXPECT_FALSE(SysfsBattery((folder_ / "file").string(), milliseconds(0)).status());
}

TEST_F(SysfsBatteryTest, FolderFromTheEnvironmentOrTheSystem) {
    EXPECT_EQ(SysfsBattery().folder(), "/sys/class/power_supply");
    battery("BAT0", "33\n", "Charging\n");
    setenv(SysfsBattery::FolderVariable, folder_.c_str(), 1);
    const SysfsBattery fromEnvironment;
    EXPECT_EQ(fromEnvironment.folder(), folder_.string());
    EXPECT_EQ(describe(fromEnvironment.status()), "33 charging");
    EXPECT_EQ(SysfsBattery("/elsewhere").folder(), "/elsewhere");  // an explicit folder wins
}

TEST_F(SysfsBatteryTest, ReadingsAreKeptForTheCacheTime) {
    battery("BAT0", "90\n", "Discharging\n");
    const SysfsBattery everyTime(folder_.string(), milliseconds(0));
    const SysfsBattery cached(folder_.string(), hours(1));
    EXPECT_EQ(describe(everyTime.status()), "90");
    EXPECT_EQ(describe(cached.status()), "90");

    battery("BAT0", "89\n", "Charging\n");
    EXPECT_EQ(describe(everyTime.status()), "89 charging");
    EXPECT_EQ(describe(cached.status()), "90");
    fs::remove_all(folder_ / "BAT0");
    EXPECT_EQ(describe(everyTime.status()), "255");
    EXPECT_EQ(describe(cached.status()), "90");
}

TEST_F(SysfsBatteryTest, ManyThreadsMayAsk) {
    battery("BAT0", "61\n", "Charging\n");
    const SysfsBattery shared(folder_.string(), milliseconds(0));
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                if (describe(shared.status()) != "61 charging") ++wrong;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace movira
