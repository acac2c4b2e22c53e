// The fixture of the tests that run libOrbelin against a real gpsd: a gpsd peer (skipped where
// gpsd is not installed) and the loaded library, pointed at that gpsd through its environment.
#pragma once

#include "tests/gpsapi/GpsdPeer.h"
#include "tests/gpsapi/LoadedOrbelin.h"

#include <gtest/gtest.h>

#include <stdlib.h>

namespace movira::test {

class OrbelinGpsdFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (GpsdPeer::gpsdProgram().empty()) {
            GTEST_SKIP() << "gpsd is not installed (scripts/install-deps installs it)";
        }
        ASSERT_TRUE(library.ok()) << library.error();
        setenv("GPSD_HOST", "localhost", 1);
        setenv("GPSD_PORT", peer.portText().c_str(), 1);
    }
    void TearDown() override {
        if (library.ok()) library.stop();
        unsetenv("GPSD_HOST");
        unsetenv("GPSD_PORT");
    }

    // Declared first, so that the library is unloaded before gpsd goes.
    GpsdPeer peer;
    LoadedOrbelin library;
};

}  // namespace movira::test
