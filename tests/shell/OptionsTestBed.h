// A core for the options dialog's tests: its own home folder and settings file, fakes for the
// platform, no pages; and a port list the test decides.
#pragma once

#include "core/AppCore.h"
#include "platform/SerialPortLister.h"
#include "tests/support/FakeBattery.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeScreenKeeper.h"
#include "tests/support/FakeWindowPort.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace movira::test {

class FixedPortLister final : public SerialPortLister {
public:
    std::vector<ListedSerialPort> ports() const override { return list; }
    std::vector<ListedSerialPort> list;
};

class OptionsTestBed : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/movira-options-XXXXXX";
        home = mkdtemp(pattern);
    }
    void TearDown() override {
        if (core) core->shutdown();
        core.reset();
        std::filesystem::remove_all(home);
    }
    // A core loaded from `settings` (written as the settings file first; nothing: no file).
    AppCore& makeCore(const std::string& settings = std::string(), bool withWindow = false) {
        if (!settings.empty()) std::ofstream(settingsPath()) << settings;
        core = std::make_unique<AppCore>(PlatformServices{clock, screen, battery, "/nonexistent"});
        core->initialize(home.string());
        if (withWindow) core->attachWindow(&window);  // starts the reader
        return *core;
    }
    std::filesystem::path settingsPath() const { return home / "Speedometer.ini"; }
    std::string settingsFile() const {
        std::ifstream file(settingsPath(), std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    std::filesystem::path home;
    FakeClock clock;
    FakeScreenKeeper screen;
    FakeBattery battery;
    FakeWindowPort window;
    FixedPortLister lister;
    std::unique_ptr<AppCore> core;
};

}  // namespace movira::test
