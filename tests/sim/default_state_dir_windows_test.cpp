// Where the device lives by default on Windows: the user's local application data, read as
// UTF-16 so that any user name works.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "sim/sim_platform.h"

namespace brimlo::sim {
namespace {

// As plain bytes, which GoogleTest can print.
std::string Utf8(std::u8string_view text) {
    return std::string(text.begin(), text.end());
}

TEST(SimPlatform, DefaultStateDirectoryIsUnderLocalAppData) {
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    const std::wstring saved = local ? local : L"";

    ASSERT_EQ(_wputenv_s(L"LOCALAPPDATA", L"C:\\Users\\Zo\u00eb \u5f20\\AppData\\Local"), 0);
    const auto dir = DefaultSimStateDir();
    ASSERT_TRUE(dir);
    EXPECT_EQ(Utf8(dir->u8string()), Utf8(u8"C:\\Users\\Zoë 张\\AppData\\Local\\brimlo-hid\\sim"));

    ASSERT_EQ(_wputenv_s(L"LOCALAPPDATA", L"AppData"), 0);  // not absolute: ignored
    EXPECT_EQ(DefaultSimStateDir(), std::nullopt);
    ASSERT_EQ(_wputenv_s(L"LOCALAPPDATA", L""), 0);  // removes it
    EXPECT_EQ(DefaultSimStateDir(), std::nullopt);

    _wputenv_s(L"LOCALAPPDATA", saved.c_str());
}

}  // namespace
}  // namespace brimlo::sim
