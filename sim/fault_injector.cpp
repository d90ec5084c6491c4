#include "sim/fault_injector.h"

#include <chrono>
#include <thread>

namespace brimlo::sim {

bool FaultInjector::BeginExchange(std::string& error) {
    ++count_;
    if (faults_.unplugAfter && count_ > *faults_.unplugAfter) {
        unplugged_ = true;
    }
    if (unplugged_) {
        error = "the device was unplugged";
        return false;
    }
    if (faults_.latencyUs) {
        std::this_thread::sleep_for(std::chrono::microseconds(*faults_.latencyUs));
    }
    if (faults_.failExchange == count_) {
        error = "exchange " + std::to_string(count_) + " failed (injected fault)";
        return false;
    }
    return true;
}

void FaultInjector::Reset(const SimFaults& faults) {
    faults_ = faults;
    count_ = 0;
    unplugged_ = false;
}

}  // namespace brimlo::sim
