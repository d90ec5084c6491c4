#include "hid/hid_enumeration.h"

#include <cstdio>
#include <new>

#include "hid/debug_output.h"

namespace brimlo::hid {
namespace {

constexpr std::size_t kInitialListCapacity = 20;

std::string Hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

enum class OpenOutcome { Opened, NotTarget, Failed };

OpenOutcome OpenAndLoad(HidPlatform& platform, HidMatchState& match, const std::string& path,
                        const HidOpenOptions& options, HidDeviceRecord& record,
                        std::string& error) {
    record.devicePath = path;
    record.handle = platform.Open(path, options, error);
    if (!record.handle) {
        return OpenOutcome::Failed;
    }
    record.openedForRead = options.readAccess;
    record.openedForWrite = options.writeAccess;
    record.openedOverlapped = options.overlapped;
    record.openedExclusive = options.exclusive;

    auto parsed = std::make_unique<HidPreparsedData>();
    std::string capsError;
    if (!record.handle->GetCapabilities(*parsed, capsError)) {
        error = path + ": " + capsError;
        return OpenOutcome::Failed;
    }
    if (!record.handle->GetAttributes(record.attributes)) {
        error = path + ": cannot read the device identifiers: " + record.handle->LastError();
        return OpenOutcome::Failed;
    }
    record.caps = parsed->caps;
    record.preparsedData = std::move(parsed);

    if (record.attributes.VendorID != match.targetVendorId ||
        record.attributes.ProductID != match.targetProductId) {
        error = path + ": identifiers " + Hex4(record.attributes.VendorID) + ":" +
                Hex4(record.attributes.ProductID) + " are not the target's";
        return OpenOutcome::NotTarget;
    }
    match.matchFound = true;

    if (!LoadReportCapabilities(record)) {
        error = path + ": the report capabilities could not be loaded";
        return OpenOutcome::Failed;
    }
    // Overlapped I/O has no meaning on the stacks we run on; the flag is kept for callers.
    return OpenOutcome::Opened;
}

OpenOutcome OpenRecord(HidPlatform& platform, HidMatchState& match, const std::string& path,
                       const HidOpenOptions& options, HidDeviceRecord& record, std::string& error) {
    ReleaseHidRecord(record);
    record = HidDeviceRecord{};
    if (path.empty()) {
        error = "no interface path";
        return OpenOutcome::Failed;
    }
    OpenOutcome outcome = OpenOutcome::Failed;
    try {
        outcome = OpenAndLoad(platform, match, path, options, record, error);
    } catch (const std::bad_alloc&) {
        error = path + ": out of memory";
    }
    if (outcome != OpenOutcome::Opened) {
        ReleaseHidRecord(record);
    }
    return outcome;
}

}  // namespace

bool OpenHidInterface(HidPlatform& platform, HidMatchState& match, const std::string& path,
                      const HidOpenOptions& options, HidDeviceRecord& record, std::string& error) {
    return OpenRecord(platform, match, path, options, record, error) == OpenOutcome::Opened;
}

bool EnumerateHidInterfaces(HidPlatform& platform, HidMatchState& match,
                            std::vector<HidDeviceRecord>& list, std::uint32_t& matchedIndex) {
    match.matchFound = false;
    match.matchedIndex = kNoMatchedIndex;
    match.skipped.clear();
    matchedIndex = kNoMatchedIndex;
    list.clear();

    std::string error;
    std::unique_ptr<HidInterfaceSet> set = platform.PresentInterfaces(error);
    if (!set) {
        DebugOutput("HID interfaces cannot be listed: " + error + "\n");
        return false;
    }

    try {
        std::vector<HidDeviceRecord> records(kInitialListCapacity);
        for (std::uint32_t i = 0;; ++i) {
            if (i == records.size()) {
                records.resize(records.size() * 2);
            }
            std::string path;
            const HidInterfaceSet::Status status = set->InterfacePath(i, path);
            if (status == HidInterfaceSet::Status::NoMoreItems) {
                break;
            }
            if (status == HidInterfaceSet::Status::Failed) {
                match.skipped.push_back("interface #" + std::to_string(i) +
                                        " could not be described");
                continue;
            }
            const HidOpenOptions noAccess{};
            if (OpenRecord(platform, match, path, noAccess, records[i], error) ==
                OpenOutcome::Failed) {
                DebugOutput("Skipped " + error + "\n");
                match.skipped.push_back(error);
            }
            if (match.matchFound) {
                match.matchedIndex = i;
                break;
            }
        }
        list = std::move(records);
    } catch (const std::bad_alloc&) {
        list.clear();
        return false;
    }
    matchedIndex = match.matchedIndex;
    return true;
}

}  // namespace brimlo::hid
