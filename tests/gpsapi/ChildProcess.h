// The shared child-process helper of the tests (tests/support/ChildProcess.h).
#pragma once

#include "tests/support/ChildProcess.h"
