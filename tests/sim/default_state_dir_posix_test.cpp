// Where the device lives by default on Linux: the user's cache, as XDG names it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "sim/sim_platform.h"

namespace brimlo::sim {
namespace {

TEST(SimPlatform, DefaultStateDirectoryIsUnderTheUserCache) {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    const std::string savedXdg = xdg ? xdg : "";
    const std::string savedHome = home ? home : "";
    ::setenv("XDG_CACHE_HOME", "/var/cache-test", 1);
    EXPECT_EQ(DefaultSimStateDir(), std::filesystem::path("/var/cache-test/brimlo-hid/sim"));
    ::setenv("XDG_CACHE_HOME", "relative", 1);  // not absolute: ignored, as XDG says
    ::setenv("HOME", "/home/tester", 1);
    EXPECT_EQ(DefaultSimStateDir(), std::filesystem::path("/home/tester/.cache/brimlo-hid/sim"));
    xdg ? ::setenv("XDG_CACHE_HOME", savedXdg.c_str(), 1) : ::unsetenv("XDG_CACHE_HOME");
    home ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
}

}  // namespace
}  // namespace brimlo::sim
