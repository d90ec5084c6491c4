#include "flash/flag_sector.h"

#include "hid/debug_output.h"

namespace brimlo::flash {

std::string FlagSectorProblem(const UvcHidDevice& device) {
    const std::size_t write = device.ChunkSize();
    const std::size_t read = device.InputReportLength(kFlashChannel);
    if (write >= kFlagSectorSize && read >= kFlagSectorSize) {
        return {};
    }
    return "This device's flash reports carry " + std::to_string(write) + " bytes out and " +
           std::to_string(read) + " bytes in, but the firmware flag is a " +
           std::to_string(kFlagSectorSize) +
           "-byte sector moved in one report: this tool cannot burn the Firmware area on this "
           "device.";
}

bool SetFirmwareFlag(UvcHidDevice& device, std::uint8_t value, FlagSector& sector,
                     std::string& error) {
    if (!device.FlashAccess(AP_FLASH_READ, kAccessFlagSector, kFlagSectorAddress, kFlagSectorSize,
                            sector)) {
        hid::DebugPrintf("Unknown error: Couldn't execute AP_FLASH_READ--case %d\n",
                         kAccessFlagSector);
        error = "Reading the firmware flag failed: " + device.LastError();
        return false;
    }
    sector[0] = value;
    if (!device.FlashAccess(AP_FLASH_WRITE, kAccessFlagSector, kFlagSectorAddress, kFlagSectorSize,
                            sector)) {
        hid::DebugPrintf("Unknown error: Couldn't execute AP_FLASH_WRITE--case %d\n",
                         kAccessFlagSector);
        error = "Writing the firmware flag failed: " + device.LastError();
        return false;
    }
    return true;
}

}  // namespace brimlo::flash
