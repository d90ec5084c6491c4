#include "cli/all_boards.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <iostream>
#include <set>

#include "boards/parallel_jobs.h"
#include "cli/board_lines.h"
#include "cli/board_selection.h"
#include "cli/board_table.h"
#include "cli/flash_interrupt.h"
#include "files/file_io.h"

namespace brimlo::cli {
namespace {

const char* CommandWord(boards::JobKind kind) {
    switch (kind) {
        case boards::JobKind::Id:
            return "id";
        case boards::JobKind::Burn:
            return "burn";
        case boards::JobKind::Verify:
            return "verify";
        case boards::JobKind::Dump:
            break;
    }
    return "dump";
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

}  // namespace

std::string DumpFileName(const std::string& pattern, const boards::Board& board) {
    // A serial is the device's own text: keep it from naming a folder or a character either
    // system refuses in a file name (on Windows also \ : * ? " < > |).
    const auto safe = [](std::string text) {
        for (char& c : text) {
            const auto byte = static_cast<unsigned char>(c);
            const bool plain =
                std::isalnum(byte) || c == '-' || c == '_' || c == '.' || byte >= 0x80;
            if (!plain) {
                c = '_';
            }
        }
        if (text.find_first_not_of('.') == std::string::npos) {
            std::fill(text.begin(), text.end(), '_');
        }
        return text.empty() ? std::string("none") : text;
    };
    std::string name = pattern;
    Replace(name, "{port}", safe(board.port));
    Replace(name, "{serial}", safe(board.serial));
    return name;
}

int RunOnAllBoards(CliContext& context, boards::JobKind kind, const std::string& file,
                   const flash::BurnSelection& selection, bool force) {
    boards::JobSpec jobSpec;
    jobSpec.kind = kind;
    jobSpec.selection = selection;
    jobSpec.replaceDump = force;
    if (kind == boards::JobKind::Burn || kind == boards::JobKind::Verify) {
        auto image = std::make_shared<flash::BurnImage>();
        std::string error;
        if (!flash::LoadBurnImage(files::PathFromUtf8(file), *image, error)) {
            return context.Error(error);
        }
        jobSpec.image = std::move(image);
    }
    hid::HidPlatform* platform = context.Platform();
    if (platform == nullptr || !context.TargetIds(jobSpec.vendorId, jobSpec.productId)) {
        return kExitNoDevice;
    }
    std::vector<boards::Board> chosen;
    std::string listError;
    if (const int code = ChooseBoards(context, *platform, jobSpec.vendorId, jobSpec.productId,
                                      chosen, listError);
        code != kExitOk) {
        return code;
    }
    if (chosen.empty()) {
        return context.Error(listError.empty() ? std::string("HID Device no found ! ")
                                               : "HID interfaces cannot be listed: " + listError,
                             kExitNoDevice);
    }
    std::vector<std::string> dumpNames(chosen.size());
    if (kind == boards::JobKind::Dump) {
        if (file == "-") {
            return context.Error(
                "flash dump --all writes one file per board: name them with "
                "a pattern such as dump-{port}.bin",
                kExitUsage);
        }
        std::set<std::string> distinct;
        for (std::size_t i = 0; i < chosen.size(); ++i) {
            dumpNames[i] = DumpFileName(file, chosen[i]);
            distinct.insert(dumpNames[i]);
        }
        if (distinct.size() != chosen.size()) {
            return context.Error("The dump file name " + file +
                                     " is the same for several boards: put {port} or "
                                     "{serial} in it, e.g. dump-{port}.bin",
                                 kExitUsage);
        }
    }

    std::deque<boards::BoardStatus> statuses(chosen.size());
    BoardLines lines(chosen, statuses);
    std::vector<boards::BoardReport> reports;
    int stoppedCode = kExitInterrupted;
    {
        StopRequest stop;
        // As for one board: a burn stops at the second interrupt, the rest at the first.
        const InterruptGuard guard(stop, kind == boards::JobKind::Burn ? 2 : 1);
        reports = boards::RunInParallel(
            chosen.size(),
            [&](std::size_t i) {
                return boards::RunBoardJob(*platform, chosen[i], jobSpec, dumpNames[i], statuses[i],
                                           &stop);
            },
            [&] { lines.Draw(); }, std::chrono::milliseconds(200));
        stoppedCode = guard.ExitCode();
    }
    int code = WorstExitCode(reports);
    code = code == kExitInterrupted ? stoppedCode : code;
    if (context.options.json) {
        for (const boards::BoardReport& report : reports) {
            std::cout << JsonLine(BoardJson(report, stoppedCode)) << '\n';
        }
        nlohmann::json summary = SummaryJson(reports);
        summary["command"] = std::string("flash ") + CommandWord(kind);
        summary["all"] = true;
        summary["exit_code"] = code;
        context.Print(summary, "");
    } else {
        std::cout << SummaryTable(reports);
        std::cout.flush();
    }
    for (const boards::BoardReport& report : reports) {
        if (report.result != boards::JobResult::Ok) {
            context.Error(report.board.Name() + ": " + report.message, code);
        }
    }
    return code;
}

}  // namespace brimlo::cli
