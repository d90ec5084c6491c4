#include "dialog/control_rules.h"

namespace brimlo::app {
namespace {

using Rule = bool (*)(const DialogFacts&);

// While a worker runs, nothing that could use the device or the chosen file may start.
constexpr bool Idle(const DialogFacts& f) {
    return !f.workerRunning;
}

// One row per ruled control, in RuledControl order.
constexpr std::array<Rule, kRuledControlCount> kEnabledWhen = {
    /* OpenDevice */ [](const DialogFacts& f) { return Idle(f) && !f.deviceOpened; },
    // These refuse with a box of their own until a device is open.
    /* Read */ Idle,
    /* Write */ Idle,
    /* SetGpio */ Idle,
    /* GetFwVersion */ [](const DialogFacts& f) { return Idle(f) && f.deviceOpened; },
    /* GetHdmiInfo */ [](const DialogFacts& f) { return Idle(f) && f.deviceOpened; },
    /* GetId */ Idle,
    /* BurnFileBrowse */ [](const DialogFacts& f) { return Idle(f) && f.deviceOpened; },
    /* DumpFileBrowse */ [](const DialogFacts& f) { return Idle(f) && f.deviceOpened; },
    /* Burn */ [](const DialogFacts& f) { return Idle(f) && f.burnFileReady; },
    /* Dump */ [](const DialogFacts& f) { return Idle(f) && f.dumpFileReady; },
    /* EntireFlash */ Idle,
    /* OtherArea */ Idle,
    // The area check boxes keep their marks; only their enabling follows the choice.
    /* AreaFirmware */ [](const DialogFacts& f) { return Idle(f) && !f.entireFlash; },
    /* AreaPrivateData */ [](const DialogFacts& f) { return Idle(f) && !f.entireFlash; },
    /* AreaCustomizedData */ [](const DialogFacts& f) { return Idle(f) && !f.entireFlash; },
};

constexpr bool EveryControlHasARule() {
    for (const Rule rule : kEnabledWhen) {
        if (rule == nullptr) {
            return false;
        }
    }
    return true;
}
static_assert(EveryControlHasARule(), "kEnabledWhen needs one row per RuledControl");

}  // namespace

DialogFacts InitialFacts(int isAccessAll) {
    DialogFacts facts;
    facts.entireFlash = isAccessAll == 1;
    return facts;
}

DialogFacts Apply(DialogFacts facts, DialogEvent event) {
    switch (event) {
        case DialogEvent::DeviceOpened:
            facts.deviceOpened = true;
            break;
        // One file is selected at a time, so choosing one disarms the other operation.
        case DialogEvent::BurnFileChosen:
            facts.burnFileReady = true;
            facts.dumpFileReady = false;
            break;
        case DialogEvent::DumpFileChosen:
            facts.dumpFileReady = true;
            facts.burnFileReady = false;
            break;
        case DialogEvent::EntireFlashChosen:
            facts.entireFlash = true;
            break;
        case DialogEvent::OtherAreaChosen:
            facts.entireFlash = false;
            break;
        case DialogEvent::WorkerStarted:
            facts.workerRunning = true;
            break;
        // A worker releases the file when it ends: a new run needs a new choice.
        case DialogEvent::BurnWorkerEnded:
            facts.workerRunning = false;
            facts.burnFileReady = false;
            break;
        case DialogEvent::DumpWorkerEnded:
            facts.workerRunning = false;
            facts.dumpFileReady = false;
            break;
    }
    return facts;
}

ControlStates StatesOf(const DialogFacts& facts) {
    ControlStates states;
    for (std::size_t i = 0; i < kRuledControlCount; ++i) {
        states.enabled[i] = kEnabledWhen[i](facts);
    }
    states.entireFlashChecked = facts.entireFlash;
    states.otherAreaChecked = !facts.entireFlash;
    return states;
}

}  // namespace brimlo::app
