// The dialog's enabling and checking rules, driven through the events the dialog feeds them.

#include <gtest/gtest.h>

#include <initializer_list>

#include "dialog/control_rules.h"

namespace brimlo::app {
namespace {

using C = RuledControl;
using E = DialogEvent;

DialogFacts After(int isAccessAll, std::initializer_list<DialogEvent> events) {
    DialogFacts facts = InitialFacts(isAccessAll);
    for (const DialogEvent event : events) {
        facts = Apply(facts, event);
    }
    return facts;
}

void ExpectEnabled(const ControlStates& states, std::initializer_list<RuledControl> enabled,
                   std::initializer_list<RuledControl> disabled) {
    for (const RuledControl control : enabled) {
        EXPECT_TRUE(states.Enabled(control)) << "control " << static_cast<int>(control);
    }
    for (const RuledControl control : disabled) {
        EXPECT_FALSE(states.Enabled(control)) << "control " << static_cast<int>(control);
    }
}

TEST(ControlRules, BeforeOpenDeviceOnlyTheSelfCheckingButtonsCanBeClicked) {
    ExpectEnabled(
        StatesOf(After(1, {})),
        {C::OpenDevice, C::Read, C::Write, C::SetGpio, C::GetId, C::EntireFlash, C::OtherArea},
        {C::BurnFileBrowse, C::DumpFileBrowse, C::Burn, C::Dump, C::GetFwVersion, C::GetHdmiInfo});
}

TEST(ControlRules, OpenDeviceEnablesTheFileChoosersAndReadsAndDisablesItself) {
    ExpectEnabled(StatesOf(After(1, {E::DeviceOpened})),
                  {C::BurnFileBrowse, C::DumpFileBrowse, C::GetFwVersion, C::GetHdmiInfo, C::Read,
                   C::Write, C::SetGpio, C::GetId},
                  {C::OpenDevice, C::Burn, C::Dump});
}

TEST(ControlRules, ChoosingOneFileDisarmsTheOtherOperation) {
    ExpectEnabled(StatesOf(After(1, {E::DeviceOpened, E::DumpFileChosen, E::BurnFileChosen})),
                  {C::Burn}, {C::Dump});
    ExpectEnabled(StatesOf(After(1, {E::DeviceOpened, E::BurnFileChosen, E::DumpFileChosen})),
                  {C::Dump}, {C::Burn});
}

TEST(ControlRules, AFinishedRunNeedsItsFileChosenAgain) {
    const DialogFacts burnt =
        After(1, {E::DeviceOpened, E::BurnFileChosen, E::WorkerStarted, E::BurnWorkerEnded});
    ExpectEnabled(StatesOf(burnt), {C::BurnFileBrowse, C::DumpFileBrowse}, {C::Burn, C::Dump});
    ExpectEnabled(StatesOf(Apply(burnt, E::BurnFileChosen)), {C::Burn}, {});

    const DialogFacts dumped =
        After(1, {E::DeviceOpened, E::DumpFileChosen, E::WorkerStarted, E::DumpWorkerEnded});
    ExpectEnabled(StatesOf(dumped), {}, {C::Dump, C::Burn});
}

// While a worker owns the device and the file, nothing that could use them can start; at its
// end the usual rules come back, for the Burn Area choice made before the run too.
TEST(ControlRules, ARunningWorkerLocksEverythingThatUsesTheDeviceOrTheFile) {
    const DialogFacts running = After(0, {E::DeviceOpened, E::BurnFileChosen, E::WorkerStarted});
    const ControlStates states = StatesOf(running);
    for (std::size_t i = 0; i < kRuledControlCount; ++i) {
        EXPECT_FALSE(states.enabled[i]) << "control " << i;
    }
    EXPECT_TRUE(states.otherAreaChecked);  // marks stay as they were

    ExpectEnabled(StatesOf(Apply(running, E::BurnWorkerEnded)),
                  {C::Read, C::Write, C::SetGpio, C::GetId, C::GetFwVersion, C::GetHdmiInfo,
                   C::BurnFileBrowse, C::DumpFileBrowse, C::EntireFlash, C::OtherArea,
                   C::AreaFirmware, C::AreaPrivateData, C::AreaCustomizedData},
                  {C::OpenDevice, C::Burn, C::Dump});
}

TEST(ControlRules, TheStoredChoiceSetsTheBurnAreaAndTheAreaBoxes) {
    struct Case {
        int stored;
        bool entireFlash;
    };
    for (const Case c : {Case{1, true}, Case{0, false}, Case{2, false}, Case{-1, false}}) {
        const ControlStates states = StatesOf(InitialFacts(c.stored));
        EXPECT_EQ(states.entireFlashChecked, c.entireFlash) << c.stored;
        EXPECT_EQ(states.otherAreaChecked, !c.entireFlash) << c.stored;
        for (const C area : {C::AreaFirmware, C::AreaPrivateData, C::AreaCustomizedData}) {
            EXPECT_EQ(states.Enabled(area), !c.entireFlash) << c.stored;
        }
    }
}

TEST(ControlRules, TheBurnAreaRadioButtonsSwitchTheAreaBoxes) {
    const DialogFacts other = After(1, {E::OtherAreaChosen});
    EXPECT_TRUE(StatesOf(other).otherAreaChecked);
    EXPECT_FALSE(StatesOf(other).entireFlashChecked);
    ExpectEnabled(StatesOf(other), {C::AreaFirmware, C::AreaPrivateData, C::AreaCustomizedData},
                  {});
    const DialogFacts entire = Apply(other, E::EntireFlashChosen);
    EXPECT_TRUE(StatesOf(entire).entireFlashChecked);
    ExpectEnabled(StatesOf(entire), {},
                  {C::AreaFirmware, C::AreaPrivateData, C::AreaCustomizedData});
}

}  // namespace
}  // namespace brimlo::app
