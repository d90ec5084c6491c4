#include "boards/board_job.h"

#include <chrono>

#include "commands/recorded_boxes.h"
#include "commands/uvc_hid_device.h"
#include "files/file_io.h"
#include "flash/burn_sequence.h"
#include "flash/dump_file.h"
#include "flash/dump_sequence.h"
#include "flash/flash_identity.h"
#include "flash/flash_messages.h"
#include "flash/verify_sequence.h"
#include "session/single_interface_platform.h"

namespace brimlo::boards {
namespace {

using namespace brimlo::flash;

void Burn(UvcHidDevice& device, const FlashIdentity& identity, const JobSpec& jobSpec,
          BoardStatus& status, const StopRequest* stop, BoardReport& report) {
    RecordedBoxes boxes;
    FixedAreaChoice choice(jobSpec.selection);
    const BurnOutcome outcome =
        RunBurn(device, jobSpec.image->bytes, identity, choice, boxes, &status, stop);
    report.updatedAreas = outcome.updatedAreas;
    report.entireUpdated = outcome.entireUpdated;
    // A difference only where bytes were compared and differ.
    if (outcome.compare.mismatch) {
        report.firstDifference = outcome.compare;
    }
    if (outcome.stopped) {
        report.result = JobResult::Stopped;
        report.message = outcome.error.empty() ? outcome.closingText : outcome.error;
    } else if (!outcome.error.empty()) {
        report.message = outcome.error;
    } else if (outcome.compareFailed) {
        report.result = JobResult::CompareFailed;
        report.message = std::string(kCompareFailed);
    } else if (outcome.failedAreas != 0 || outcome.firmwareNotMarkedValid || !outcome.Updated()) {
        report.message = !boxes.last.empty() ? boxes.last : outcome.closingText;
    } else {
        report.result = JobResult::Ok;
    }
}

void Verify(UvcHidDevice& device, const FlashIdentity& identity, const JobSpec& jobSpec,
            BoardStatus& status, const StopRequest* stop, BoardReport& report) {
    const VerifyOutcome outcome =
        RunVerify(device, jobSpec.image->bytes, identity, jobSpec.selection, &status, stop);
    if (!outcome.error.empty()) {
        report.result = outcome.stopped ? JobResult::Stopped : JobResult::Failed;
        report.message = outcome.error;
        return;
    }
    for (const RegionCheck& check : outcome.regions) {
        if (check.compare.mismatch) {
            report.result = JobResult::CompareFailed;
            report.message = "The flash differs from the burn file.";
            report.firstDifference = check.compare;
            return;
        }
    }
    report.result = JobResult::Ok;
}

void Dump(UvcHidDevice& device, const FlashIdentity& identity, const JobSpec& jobSpec,
          const std::string& path, BoardStatus& status, const StopRequest* stop,
          BoardReport& report) {
    RecordedBoxes boxes;
    DumpFile file(boxes, {}, DumpFlush::BeforeRename);
    std::string error;
    if (!file.Open(files::PathFromUtf8(path), jobSpec.replaceDump, error)) {
        report.message = error;
        return;
    }
    const DumpOutcome outcome = RunDumpToFile(device, identity, file, boxes, &status, stop);
    report.bytes = outcome.bytesDumped;
    report.dumpLocation = outcome.location;
    report.result = outcome.completed ? JobResult::Ok
                    : outcome.stopped ? JobResult::Stopped
                                      : JobResult::Failed;
    report.message = outcome.error;
}

void Run(hid::HidPlatform& platform, const JobSpec& jobSpec, const std::string& dumpPath,
         BoardStatus& status, const StopRequest* stop, BoardReport& report) {
    session::SingleInterfacePlatform one(platform, report.board.path);
    UvcHidDevice device(one);
    status.SetPhase("Open");
    const OpenResult opened = device.Open(jobSpec.vendorId, jobSpec.productId);
    if (opened.status != OpenStatus::Opened) {
        report.result = JobResult::NoDevice;
        report.message =
            opened.message.empty() ? report.board.path + ": cannot be opened" : opened.message;
        return;
    }
    status.SetPhase("Get ID");
    FlashIdentity identity;
    std::string error;
    if (!IdentifyFlash(device, identity, error)) {
        report.message = error;
        return;
    }
    report.chip = FlashInformation(identity)[0].text;
    report.flashSize = identity.flashSize;
    switch (jobSpec.kind) {
        case JobKind::Id:
            report.result = JobResult::Ok;
            break;
        case JobKind::Burn:
            Burn(device, identity, jobSpec, status, stop, report);
            if (report.result == JobResult::Ok && jobSpec.verifyAfterBurn &&
                (stop == nullptr || !stop->Requested())) {
                Verify(device, identity, jobSpec, status, stop, report);
            }
            break;
        case JobKind::Verify:
            Verify(device, identity, jobSpec, status, stop, report);
            break;
        case JobKind::Dump:
            Dump(device, identity, jobSpec, dumpPath, status, stop, report);
            break;
    }
}

}  // namespace

const char* ResultWord(JobResult result) {
    switch (result) {
        case JobResult::Ok:
            return "ok";
        case JobResult::Failed:
            return "failed";
        case JobResult::CompareFailed:
            return "compare_failed";
        case JobResult::NoDevice:
            return "no_device";
        case JobResult::Stopped:
            return "stopped";
        case JobResult::Unplugged:
            return "unplugged";
    }
    return "failed";
}

bool BoardPresent(hid::HidPlatform& platform, const std::string& path) {
    std::string error;
    const std::unique_ptr<hid::HidInterfaceSet> set = platform.PresentInterfaces(error);
    if (!set) {
        return false;
    }
    std::string listed;
    for (std::uint32_t i = 0;; ++i) {
        const hid::HidInterfaceSet::Status status = set->InterfacePath(i, listed);
        if (status == hid::HidInterfaceSet::Status::NoMoreItems) {
            return false;
        }
        if (status == hid::HidInterfaceSet::Status::Ok && listed == path) {
            return true;
        }
    }
}

BoardReport RunBoardJob(hid::HidPlatform& platform, const Board& board, const JobSpec& jobSpec,
                        const std::string& dumpPath, BoardStatus& status, const StopRequest* stop) {
    const auto start = std::chrono::steady_clock::now();
    BoardReport report;
    report.board = board;
    Run(platform, jobSpec, dumpPath, status, stop, report);
    // A failure on a board that is no longer there is its cable's, not the board's.
    if (report.result != JobResult::Ok && report.result != JobResult::Stopped &&
        !BoardPresent(platform, board.path)) {
        report.result = JobResult::Unplugged;
    }
    report.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    status.SetPhase(ResultWord(report.result));
    return report;
}

}  // namespace brimlo::boards
