// The HID class's device-interface notifications as the station sees them: plug generations
// per interface path, the monitor's event, and the wait that wakes on it or on a console event.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "hid/windows/event_wait.h"
#include "hid/windows/windows_hotplug.h"

namespace brimlo::hid {
namespace {

constexpr GUID kHidClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
// A USB disk's interface class: not HID.
constexpr GUID kDiskClass = {
    0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
const std::string kPortTwo =
    R"(\\?\hid#vid_1209&pid_0001#7&2a1c&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})";
const std::string kPortThree =
    R"(\\?\hid#vid_1209&pid_0001#7&3b2d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})";

// Plays cfgmgr32: keeps what the monitor registered and calls it back as the system would.
class WindowsHotplugTest : public ::testing::Test {
  protected:
    CmNotifyApi Api() {
        CmNotifyApi api;
        api.CM_Register_Notification = [this](PCM_NOTIFY_FILTER filter, PVOID context,
                                              PCM_NOTIFY_CALLBACK callback,
                                              PHCMNOTIFICATION handle) {
            filter_ = *filter;
            context_ = context;
            callback_ = callback;
            *handle = reinterpret_cast<HCMNOTIFICATION>(&registered_);
            return registerResult_;
        };
        api.CM_Unregister_Notification = [this](HCMNOTIFICATION handle) {
            unregistered_.push_back(handle);
            return CONFIGRET(CR_SUCCESS);
        };
        return api;
    }

    // The event data as the system lays it out: the link right after the class, terminated.
    void Notify(CM_NOTIFY_ACTION action, const GUID& interfaceClass, const std::string& path) {
        const std::size_t linkAt = offsetof(CM_NOTIFY_EVENT_DATA, u.DeviceInterface.SymbolicLink);
        std::vector<unsigned char> buffer(linkAt + (path.size() + 1) * sizeof(WCHAR));
        auto* data = reinterpret_cast<PCM_NOTIFY_EVENT_DATA>(buffer.data());
        data->FilterType = CM_NOTIFY_FILTER_TYPE_DEVICEINTERFACE;
        data->u.DeviceInterface.ClassGuid = interfaceClass;
        for (std::size_t i = 0; i < path.size(); ++i) {
            data->u.DeviceInterface.SymbolicLink[i] = static_cast<WCHAR>(path[i]);
        }
        data->u.DeviceInterface.SymbolicLink[path.size()] = L'\0';
        callback_(nullptr, context_, action, data, static_cast<DWORD>(buffer.size()));
    }

    static bool Signalled(const HotplugMonitor& monitor) {
        return ::WaitForSingleObject(monitor.EventHandle(), 0) == WAIT_OBJECT_0;
    }

    CM_NOTIFY_FILTER filter_{};
    PVOID context_ = nullptr;
    PCM_NOTIFY_CALLBACK callback_ = nullptr;
    int registered_ = 0;
    CONFIGRET registerResult_ = CR_SUCCESS;
    std::vector<HCMNOTIFICATION> unregistered_;
};

TEST_F(WindowsHotplugTest, ArrivalsAndRemovalsOfHidInterfacesChangeTheirGenerationOnceSettled) {
    std::string error;
    {
        auto monitor = WindowsHotplugMonitor::Start(Api(), error);
        ASSERT_NE(monitor, nullptr) << error;
        EXPECT_EQ(filter_.FilterType, CM_NOTIFY_FILTER_TYPE_DEVICEINTERFACE);
        EXPECT_TRUE(filter_.u.DeviceInterface.ClassGuid == kHidClass);
        EXPECT_FALSE(Signalled(*monitor));

        Notify(CM_NOTIFY_ACTION_DEVICEINTERFACEARRIVAL, kHidClass, kPortTwo);
        EXPECT_TRUE(Signalled(*monitor));
        EXPECT_EQ(monitor->PlugGeneration(kPortTwo), 0u);  // not settled yet
        monitor->Settle();
        const std::uint64_t plugged = monitor->PlugGeneration(kPortTwo);
        EXPECT_NE(plugged, 0u);

        // Unplugged and back before the station looked: still a new plug. SetupAPI may spell
        // the path in other case than the notification.
        Notify(CM_NOTIFY_ACTION_DEVICEINTERFACEREMOVAL, kHidClass, kPortTwo);
        Notify(CM_NOTIFY_ACTION_DEVICEINTERFACEARRIVAL, kHidClass, kPortTwo);
        monitor->Settle();
        std::string upper = kPortTwo;
        for (char& c : upper) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        EXPECT_NE(monitor->PlugGeneration(upper), plugged);
        EXPECT_EQ(monitor->PlugGeneration(upper), monitor->PlugGeneration(kPortTwo));
        EXPECT_TRUE(unregistered_.empty());
    }
    ASSERT_EQ(unregistered_.size(), 1u);
    EXPECT_EQ(unregistered_[0], reinterpret_cast<HCMNOTIFICATION>(&registered_));
}

TEST_F(WindowsHotplugTest, OtherInterfaceClassesAndOtherActionsChangeNothing) {
    std::string error;
    auto monitor = WindowsHotplugMonitor::Start(Api(), error);
    ASSERT_NE(monitor, nullptr) << error;
    Notify(CM_NOTIFY_ACTION_DEVICEINTERFACEARRIVAL, kDiskClass, kPortTwo);
    Notify(CM_NOTIFY_ACTION_DEVICEQUERYREMOVE, kHidClass, kPortTwo);
    EXPECT_FALSE(Signalled(*monitor));
    monitor->Settle();
    EXPECT_EQ(monitor->PlugGeneration(kPortTwo), 0u);
}

TEST_F(WindowsHotplugTest, ABoardMovedToAnotherPortLeavesOneAndArrivesAtTheOther) {
    std::string error;
    auto monitor = WindowsHotplugMonitor::Start(Api(), error);
    ASSERT_NE(monitor, nullptr) << error;
    Notify(CM_NOTIFY_ACTION_DEVICEINTERFACEARRIVAL, kHidClass, kPortTwo);
    monitor->Settle();
    const std::uint64_t inTwo = monitor->PlugGeneration(kPortTwo);
    Notify(CM_NOTIFY_ACTION_DEVICEINTERFACEREMOVAL, kHidClass, kPortTwo);
    Notify(CM_NOTIFY_ACTION_DEVICEINTERFACEARRIVAL, kHidClass, kPortThree);
    monitor->Settle();
    EXPECT_NE(monitor->PlugGeneration(kPortTwo), inTwo);
    EXPECT_NE(monitor->PlugGeneration(kPortThree), 0u);
}

TEST_F(WindowsHotplugTest, WithoutTheNotificationCallsTheStationSaysWhatToUse) {
    std::string error;
    EXPECT_EQ(WindowsHotplugMonitor::Start(CmNotifyApi{}, error), nullptr);
    EXPECT_NE(error.find("flash burn --all"), std::string::npos) << error;

    registerResult_ = CR_FAILURE;
    error.clear();
    EXPECT_EQ(WindowsHotplugMonitor::Start(Api(), error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(unregistered_.empty());  // nothing was registered
}

// The station's wait ends on a notification from the system's thread, and on a console event
// that came before it began, which it reports as no change.
TEST_F(WindowsHotplugTest, TheWaitWakesOnANotificationAndOnAConsoleEvent) {
    std::string error;
    auto monitor = WindowsHotplugMonitor::Start(Api(), error);
    ASSERT_NE(monitor, nullptr) << error;
    EventWait wait;
    const InterruptHeld held;
    std::jthread system([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Notify(CM_NOTIFY_ACTION_DEVICEINTERFACEARRIVAL, kHidClass, kPortThree);
    });
    EXPECT_TRUE(wait.Wait(*monitor, held, HotplugMonitor::Clock::now() + std::chrono::seconds(10)));
    EXPECT_NE(monitor->PlugGeneration(kPortThree), 0u);  // settled by the wait

    WakeInterruptedWaits();
    const auto start = HotplugMonitor::Clock::now();
    EXPECT_FALSE(wait.Wait(*monitor, held, start + std::chrono::seconds(10)));
    EXPECT_LT(HotplugMonitor::Clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace brimlo::hid
