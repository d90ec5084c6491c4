#pragma once
// The enabling and checking rules of the main dialog as pure transitions: the dialog feeds in
// what happened and applies the control states that come out. Nothing here knows a widget.

#include <array>
#include <cstddef>

namespace brimlo::app {

// The controls whose enabling or checking changes while the dialog runs. Every other control
// is enabled from the start and stays so.
enum class RuledControl : std::size_t {
    OpenDevice,
    Read,
    Write,
    SetGpio,
    GetFwVersion,
    GetHdmiInfo,
    GetId,
    BurnFileBrowse,
    DumpFileBrowse,
    Burn,
    Dump,
    EntireFlash,
    OtherArea,
    AreaFirmware,
    AreaPrivateData,
    AreaCustomizedData,
    Count,
};
inline constexpr std::size_t kRuledControlCount = static_cast<std::size_t>(RuledControl::Count);

enum class DialogEvent {
    DeviceOpened,       // Open Device opened the device and set up its buffers
    BurnFileChosen,     // "..." of "Burn File:" chose a file
    DumpFileChosen,     // "..." of "Dump File:" chose a file
    EntireFlashChosen,  // a click left "Entire Flash" checked
    OtherAreaChosen,    // a click left "Other Area" checked
    WorkerStarted,      // a burn or dump worker took the device and the file
    BurnWorkerEnded,
    DumpWorkerEnded,
};

// What the rules depend on.
struct DialogFacts {
    bool deviceOpened = false;
    bool burnFileReady = false;  // a burn file was chosen and no dump file or burn came after
    bool dumpFileReady = false;  // the same for a dump file
    bool entireFlash = true;     // the Burn Area choice
    bool workerRunning = false;  // a burn or dump owns the device and the file
    bool operator==(const DialogFacts&) const = default;
};

// The facts when the dialog opens with the stored Burn Area setting `isAccessAll`.
DialogFacts InitialFacts(int isAccessAll);

DialogFacts Apply(DialogFacts facts, DialogEvent event);

struct ControlStates {
    std::array<bool, kRuledControlCount> enabled{};
    bool entireFlashChecked = false;
    bool otherAreaChecked = false;

    bool Enabled(RuledControl control) const { return enabled[static_cast<std::size_t>(control)]; }
    bool operator==(const ControlStates&) const = default;
};

ControlStates StatesOf(const DialogFacts& facts);

}  // namespace brimlo::app
