// flash dump --all names each board's file from a pattern; a port or serial is the device's own
// text and must never lead the file out of the folder the user chose or into a name a system
// refuses.

#include <gtest/gtest.h>

#include "cli/all_boards.h"

namespace brimlo::cli {
namespace {

boards::Board BoardWith(const std::string& port, const std::string& serial) {
    return boards::Board{"/dev/hidraw0", port, serial};
}

TEST(DumpFileName, PortsAndPlainSerialsAreKept) {
    EXPECT_EQ(DumpFileName("dump-{port}.bin", BoardWith("1-1.2", "")), "dump-1-1.2.bin");
    EXPECT_EQ(DumpFileName("{serial}/{port}.bin", BoardWith("3-4", "AB_12-x")), "AB_12-x/3-4.bin");
    EXPECT_EQ(DumpFileName("d-{serial}.bin", BoardWith("", "Zoë")), "d-Zoë.bin");
    EXPECT_EQ(DumpFileName("d-{serial}.bin", BoardWith("1-1", "")), "d-none.bin");
}

TEST(DumpFileName, SerialsCannotClimbOutOrNameWhatWindowsRefuses) {
    EXPECT_EQ(DumpFileName("{serial}", BoardWith("", "..")), "__");
    EXPECT_EQ(DumpFileName("out/{serial}.bin", BoardWith("", "../../etc/x")),
              "out/.._.._etc_x.bin");
    EXPECT_EQ(DumpFileName("{serial}.bin", BoardWith("", "..\\x")), ".._x.bin");
    EXPECT_EQ(DumpFileName("{serial}.bin", BoardWith("", "a:b*c?d\"e<f>g|h")),
              "a_b_c_d_e_f_g_h.bin");
    EXPECT_EQ(DumpFileName("{serial}.bin", BoardWith("", std::string("a\nb\x01", 4))), "a_b_.bin");
}

}  // namespace
}  // namespace brimlo::cli
