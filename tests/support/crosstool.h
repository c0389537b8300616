#pragma once

#include <QtGlobal>
#include <gtest/gtest.h>

#include <string>

// Whether a cross-check tool (arm-none-eabi-ld, srec_cat, python3, ...) is on the PATH.
bool haveTool(const std::string &name);
// The tool's full path on the PATH, or "" when it is missing.
std::string crossToolPath(const std::string &name);

// Skips the current test when the tool is missing, naming the Debian package to install;
// in CI (CI=true) a missing tool fails the test instead, so a gap in scripts/install-deps
// cannot hide. Use as the first statement of a test body.
#define REQUIRE_TOOL(name, package)                                                                \
    do {                                                                                           \
        if (!haveTool(name)) {                                                                     \
            if (qEnvironmentVariable("CI") == "true")                                              \
                FAIL() << (name) << " is missing: scripts/install-deps must install "              \
                       << (package);                                                               \
            GTEST_SKIP() << (name) << " is missing: install the Debian package " << (package);     \
        }                                                                                          \
    } while (0)
