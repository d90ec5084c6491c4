#include "hid/hid_platform.h"
#include "hid/report_descriptor_parser.h"

namespace brimlo::hid {

bool HidConnection::GetCapabilities(HidPreparsedData& data, std::string& error) {
    std::vector<std::uint8_t> descriptor;
    if (!GetReportDescriptor(descriptor)) {
        error = "cannot read the report descriptor: " + LastError();
        return false;
    }
    ReportDescriptorError parseError;
    if (!ParseReportDescriptor(descriptor, data, parseError, topLevelCollection_)) {
        error = "report descriptor rejected at byte " + std::to_string(parseError.offset) + ": " +
                parseError.message;
        return false;
    }
    return true;
}

}  // namespace brimlo::hid
