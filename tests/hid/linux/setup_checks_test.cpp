// The doctor's checks on fake machines: a root folder with proc/, sys/, dev/ and the udev rule
// folders laid out as Linux lays them out, hidraw class links included.

#include "hid/linux/setup_checks.h"

#include "hid/linux/hidraw_errors.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <set>

namespace brimlo::hid {
namespace {

namespace fs = std::filesystem;

class FakeMachine : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("brimlo-setup-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "sys/class/hidraw");
        fs::create_directories(root / "dev");
        Write("proc/sys/kernel/osrelease", "6.1.0-13-amd64\n");
        Write("sys/bus/usb/devices/usb1/speed", "480\n");
    }
    void TearDown() override { fs::remove_all(root); }

    void Write(const fs::path& relative, const std::string& text) {
        fs::create_directories((root / relative).parent_path());
        std::ofstream(root / relative) << text;
    }

    // A USB device at `port` with one HID interface whose hidraw node is `node`.
    void AddDevice(const std::string& node, const std::string& port, const std::string& vid,
                   const std::string& pid, const std::string& speed, bool interruptOut) {
        const fs::path device = "sys/devices/pci0000:00/0000:00:14.0/usb1/" + port;
        Write(device / "idVendor", vid + "\n");
        Write(device / "idProduct", pid + "\n");
        Write(device / "speed", speed + "\n");
        const fs::path interface = device / (port + ":1.2");
        Write(interface / "bInterfaceNumber", "02\n");
        Write(interface / "ep_81/direction", "in\n");
        Write(interface / "ep_81/type", "Interrupt\n");
        if (interruptOut) {
            Write(interface / "ep_02/direction", "out\n");
            Write(interface / "ep_02/type", "Interrupt\n");
        }
        const fs::path hidraw = interface / ("0003:" + vid + ":" + pid + ".0001/hidraw") / node;
        Write(hidraw / "dev", "243:0\n");
        fs::create_directory_symlink(root / hidraw, root / "sys/class/hidraw" / node);
        Write("dev/" + node, "");
    }

    void InstallRule(const std::string& folder, const std::string& vid, const std::string& pid) {
        Write(folder + "/70-brimlo-hid.rules",
              "# ATTRS{idVendor}==\"" + vid + "\", ATTRS{idProduct}==\"" + pid +
                  "\" in a comment grants nothing\n"
                  "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"" +
                  vid + "\", ATTRS{idProduct}==\"" + pid + "\", TAG+=\"uaccess\"\n");
    }

    std::vector<SetupCheck> Check() {
        SetupCheckOptions options;
        options.root = root;
        options.vendorId = 0x1209;
        options.productId = 0x0001;
        options.buildRulePath = "/src/build/res/70-brimlo-hid.rules";
        options.accessError = [this](const fs::path& node) {
            return refused.count(node.filename().string()) != 0 ? EACCES : 0;
        };
        return CheckSetup(options);
    }

    static const SetupCheck& Find(const std::vector<SetupCheck>& checks, const std::string& name,
                                  std::size_t nth = 0) {
        for (const SetupCheck& check : checks) {
            if (check.name == name && nth-- == 0) {
                return check;
            }
        }
        static const SetupCheck missing{"(missing)", false, "", ""};
        ADD_FAILURE() << "no check " << name;
        return missing;
    }

    fs::path root;
    std::set<std::string> refused;
};

TEST_F(FakeMachine, ReadyMachinePassesEveryCheckAndIgnoresOtherDevices) {
    InstallRule("usr/lib/udev/rules.d", "1209", "0001");
    AddDevice("hidraw0", "1-1", "046d", "c52b", "12", true);  // a keyboard receiver
    AddDevice("hidraw3", "1-2", "1209", "0001", "480", false);
    const auto checks = Check();
    ASSERT_EQ(checks.size(), 5u);  // kernel, rule, then access, output reports, speed of hidraw3
    for (const SetupCheck& check : checks) {
        EXPECT_TRUE(check.ok) << check.name << ": " << check.text;
        EXPECT_TRUE(check.fix.empty());
        EXPECT_EQ(check.text.find("hidraw0"), std::string::npos) << check.text;
    }
    EXPECT_NE(Find(checks, "access").text.find("/dev/hidraw3"), std::string::npos);
    EXPECT_NE(Find(checks, "udev rule").text.find("/usr/lib/udev/rules.d/70-brimlo-hid.rules"),
              std::string::npos);
}

TEST_F(FakeMachine, KernelVersionsAroundTheHidrawReportRequests) {
    EXPECT_TRUE(KernelAtLeast("5.11.0", 5, 11));
    EXPECT_TRUE(KernelAtLeast("6.1.0-13-amd64", 5, 11));
    EXPECT_TRUE(KernelAtLeast("5.15.0-91-generic", 5, 11));
    EXPECT_FALSE(KernelAtLeast("5.10.0-26-amd64", 5, 11));
    EXPECT_FALSE(KernelAtLeast("4.19.0", 5, 11));
    EXPECT_FALSE(KernelAtLeast("5", 5, 11));
    EXPECT_FALSE(KernelAtLeast("", 5, 11));

    Write("proc/sys/kernel/osrelease", "5.10.0-26-amd64\n");
    const SetupCheck old = Find(Check(), "kernel");
    EXPECT_FALSE(old.ok);
    EXPECT_NE(old.text.find("5.10.0-26-amd64"), std::string::npos);
    EXPECT_NE(old.fix.find("5.11"), std::string::npos);

    fs::remove(root / "proc/sys/kernel/osrelease");
    EXPECT_FALSE(Find(Check(), "kernel").ok);
}

TEST_F(FakeMachine, RuleMissingShadowedOrForOtherIdentifiers) {
    AddDevice("hidraw1", "1-1", "1209", "0001", "480", false);
    refused.insert("hidraw1");
    auto checks = Check();
    EXPECT_FALSE(Find(checks, "udev rule").ok);
    EXPECT_NE(Find(checks, "udev rule").fix.find("sudo cp /src/build/res/70-brimlo-hid.rules"),
              std::string::npos);
    // Access is refused because there is no rule: the fix says to install it.
    EXPECT_FALSE(Find(checks, "access").ok);
    EXPECT_NE(Find(checks, "access").fix.find("install the udev rule"), std::string::npos);

    // A rule naming the identifiers only in a comment grants nothing.
    InstallRule("usr/lib/udev/rules.d", "1234", "5678");
    Write("usr/lib/udev/rules.d/70-brimlo-hid.rules",
          "# ATTRS{idVendor}==\"1209\", ATTRS{idProduct}==\"0001\"\n");
    EXPECT_FALSE(Find(Check(), "udev rule").ok);

    // The packaged rule is right, but an old copy in /etc of the same name hides it.
    InstallRule("usr/lib/udev/rules.d", "1209", "0001");
    InstallRule("etc/udev/rules.d", "1234", "5678");
    checks = Check();
    EXPECT_FALSE(Find(checks, "udev rule").ok);
    EXPECT_NE(Find(checks, "udev rule").text.find("/etc/udev/rules.d/"), std::string::npos);

    fs::remove(root / "etc/udev/rules.d/70-brimlo-hid.rules");
    checks = Check();
    EXPECT_TRUE(Find(checks, "udev rule").ok);
    // With the rule in place a refused node needs a replug, or the group alternative.
    EXPECT_FALSE(Find(checks, "access").ok);
    EXPECT_NE(Find(checks, "access").fix.find("replug"), std::string::npos);
    EXPECT_NE(Find(checks, "access").text.find("Permission denied"), std::string::npos);
}

TEST_F(FakeMachine, EachNodeOfTheDeviceIsCheckedAndAMissingNodeIsNamed) {
    InstallRule("etc/udev/rules.d", "1209", "0001");
    AddDevice("hidraw2", "1-1", "1209", "0001", "480", false);
    AddDevice("hidraw5", "1-3", "1209", "0001", "480", false);
    refused.insert("hidraw5");
    auto checks = Check();
    EXPECT_TRUE(Find(checks, "access", 0).ok);
    EXPECT_FALSE(Find(checks, "access", 1).ok);
    EXPECT_NE(Find(checks, "access", 1).text.find("/dev/hidraw5"), std::string::npos);

    fs::remove(root / "dev/hidraw2");
    checks = Check();
    EXPECT_FALSE(Find(checks, "access", 0).ok);
    EXPECT_NE(Find(checks, "access", 0).text.find("missing"), std::string::npos);
}

TEST_F(FakeMachine, NoDeviceIsOneProblem) {
    InstallRule("usr/lib/udev/rules.d", "1209", "0001");
    AddDevice("hidraw0", "1-1", "1209", "0002", "480", false);
    const auto checks = Check();
    ASSERT_EQ(checks.size(), 3u);
    EXPECT_FALSE(checks.back().ok);
    EXPECT_NE(checks.back().text.find("1209:0001"), std::string::npos);
    EXPECT_FALSE(checks.back().fix.empty());
}

TEST_F(FakeMachine, InterruptOutEndpointIsAProblemUnlessTheQuirkIsSet) {
    InstallRule("usr/lib/udev/rules.d", "1209", "0001");
    AddDevice("hidraw0", "1-1", "1209", "0001", "480", true);
    SetupCheck check = Find(Check(), "output reports");
    EXPECT_FALSE(check.ok);
    EXPECT_NE(check.fix.find("usbhid.quirks=0x1209:0x0001:0x40000"), std::string::npos);

    // A quirk for another device, or another flag for this one, does not help.
    Write("sys/module/usbhid/parameters/quirks", "0x1209:0x0002:0x40000,0x1209:0x0001:0x4\n");
    EXPECT_FALSE(Find(Check(), "output reports").ok);

    Write("sys/module/usbhid/parameters/quirks", "0x046d:0xc52b:0x4,0x1209:0x0001:0x40400\n");
    check = Find(Check(), "output reports");
    EXPECT_TRUE(check.ok) << check.text;
    EXPECT_NE(check.text.find("0x40000"), std::string::npos);

    EXPECT_TRUE(HasNoInterruptOutputQuirk("0x1209:0x0001:0x40000", 0x1209, 0x0001));
    EXPECT_FALSE(HasNoInterruptOutputQuirk("(null)", 0x1209, 0x0001));
    EXPECT_FALSE(HasNoInterruptOutputQuirk("", 0x1209, 0x0001));
}

TEST_F(FakeMachine, FullSpeedBoardIsAProblemOnlyWhenAHighSpeedPortExists) {
    InstallRule("usr/lib/udev/rules.d", "1209", "0001");
    AddDevice("hidraw0", "1-1", "1209", "0001", "12", false);
    SetupCheck speed = Find(Check(), "speed");
    EXPECT_FALSE(speed.ok);
    EXPECT_NE(speed.text.find("12 Mbit/s"), std::string::npos);
    EXPECT_NE(speed.fix.find("USB 2.0"), std::string::npos);

    // An old machine with full-speed root hubs only: nothing to change.
    Write("sys/bus/usb/devices/usb1/speed", "12\n");
    Write("sys/bus/usb/devices/usb2/speed", "12\n");
    speed = Find(Check(), "speed");
    EXPECT_TRUE(speed.ok) << speed.text;

    // Each board gets its own line.
    Write("sys/bus/usb/devices/usb3/speed", "5000\n");
    AddDevice("hidraw1", "2-1", "1209", "0001", "480", false);
    const auto checks = Check();
    EXPECT_FALSE(Find(checks, "speed", 0).ok);
    EXPECT_TRUE(Find(checks, "speed", 1).ok);
}

// The permission message of the tools: a build tree's rule is to be copied, the installed one
// only needs the device replugged, and doctor says what else is missing.
TEST(UdevRuleAdvice, NamesTheCopyToInstallOrTheInstalledRule) {
    const std::string build = UdevRuleAdvice("/src/build/res/70-brimlo-hid.rules");
    EXPECT_NE(build.find("sudo cp /src/build/res/70-brimlo-hid.rules /etc/udev/rules.d/"),
              std::string::npos);
    const std::string installed = UdevRuleAdvice(kInstalledUdevRulePath);
    EXPECT_EQ(installed.find("sudo cp"), std::string::npos);
    for (const char* part : {"/usr/lib/udev/rules.d/70-brimlo-hid.rules", "is installed", "replug",
                             "brimlo-hid doctor"}) {
        EXPECT_NE(installed.find(part), std::string::npos) << part;
    }
}

}  // namespace
}  // namespace brimlo::hid
