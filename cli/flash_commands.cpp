// flash id, burn, verify and dump; image info: the flash programming commands, and a look at a
// burn file without a device.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "cli/all_boards.h"
#include "cli/commands.h"
#include "cli/flash_interrupt.h"
#include "cli/terminal.h"
#include "cli/terminal_boxes.h"
#include "cli/terminal_progress.h"
#include "files/file_io.h"
#include "flash/burn_image.h"
#include "flash/burn_sequence.h"
#include "flash/dump_file.h"
#include "flash/dump_sequence.h"
#include "flash/flash_messages.h"
#include "flash/verify_sequence.h"

namespace brimlo::cli {
namespace {

using namespace brimlo::flash;

constexpr const char* kAreaNames[kFlashAreaCount] = {"firmware", "private", "customized"};

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

struct FlashArgs {
    std::string file;
    bool entire = false;
    std::vector<std::string> areas;
    bool force = false;
};

// Passes progress on and, at the first interrupt of a burn, says once what a second one does.
// Runs on the burn's thread, so the signal handler itself never prints.
class InterruptNotice final : public FlashProgress {
  public:
    InterruptNotice(TerminalProgress& progress, const InterruptGuard& guard)
        : progress_(progress), guard_(guard) {}
    void RegionStarted(std::string_view region) override {
        Check();
        progress_.RegionStarted(region);
    }
    void BurstStarted(std::uint32_t total) override {
        Check();
        progress_.BurstStarted(total);
    }
    void StatusChanged(std::string_view status) override {
        Check();
        progress_.StatusChanged(status);
    }
    void BytesDone(std::uint32_t done) override {
        Check();
        progress_.BytesDone(done);
    }

  private:
    void Check() {
        if (!told_ && guard_.Count() == 1) {
            told_ = true;
            progress_.Interrupt();
            const Interrupt last = guard_.Last();
            const std::string notice(kBurnInterruptNotice);
            if (last == Interrupt::CtrlC) {
                std::fprintf(stderr, "brimlo-hid: %s %.*s\n", notice.c_str(),
                             static_cast<int>(kBurnInterruptAgain.size()),
                             kBurnInterruptAgain.data());
            } else {
                std::fprintf(stderr,
                             "brimlo-hid: %s: %s A second %s or Ctrl+C stops it at the next "
                             "report.\n",
                             NameOf(last), notice.c_str(), NameOf(last));
            }
        }
    }
    TerminalProgress& progress_;
    const InterruptGuard& guard_;
    bool told_ = false;
};

BurnSelection SelectionOf(const FlashArgs& args) {
    BurnSelection selection;
    selection.entireFlash = args.areas.empty();
    for (const std::string& area : args.areas) {
        for (std::size_t row = 0; row < kFlashAreaCount; ++row) {
            selection.areas[row] = selection.areas[row] || area == kAreaNames[row];
        }
    }
    return selection;
}

nlohmann::json SelectionJson(const BurnSelection& selection) {
    nlohmann::json areas = nlohmann::json::array();
    for (std::size_t row = 0; row < kFlashAreaCount; ++row) {
        if (!selection.entireFlash && selection.areas[row]) {
            areas.push_back(kAreaNames[row]);
        }
    }
    return {{"entire", selection.entireFlash}, {"areas", areas}};
}

nlohmann::json AreaList(std::uint8_t areas) {
    nlohmann::json list = nlohmann::json::array();
    for (std::size_t row = 0; row < kFlashAreaCount; ++row) {
        if ((areas >> row & 1) != 0) {
            list.push_back(kAreaNames[row]);
        }
    }
    return list;
}

nlohmann::json CompareJson(const CompareReport& report) {
    if (!report.mismatch) {
        return nullptr;
    }
    return {{"address", report.firstDifference},
            {"expected", report.expected},
            {"found", report.found},
            {"differing_bytes", report.differingBytes}};
}

bool LoadImage(CliContext& context, const std::string& path, BurnImage& image) {
    std::string error;
    if (!LoadBurnImage(files::PathFromUtf8(path), image, error)) {
        context.Error(error);
        return false;
    }
    return true;
}

// Opens the device and runs Get ID; the device, or null with the reason printed.
UvcHidDevice* OpenIdentified(CliContext& context, FlashIdentity& identity, int& code) {
    UvcHidDevice* device = context.OpenDevice(BoardChoice::OnlyOne);
    if (device == nullptr) {
        code = kExitNoDevice;
        return nullptr;
    }
    std::string error;
    if (!IdentifyFlash(*device, identity, error)) {
        code = context.Error(error);
        return nullptr;
    }
    return device;
}

int RunId(CliContext& context) {
    if (context.options.all) {
        return RunOnAllBoards(context, boards::JobKind::Id, "", {}, false);
    }
    FlashIdentity identity;
    int code = kExitOk;
    if (OpenIdentified(context, identity, code) == nullptr) {
        return code;
    }
    std::ostringstream text;
    for (const InfoField& field : FlashInformation(identity)) {
        text << field.label << ' ' << field.text << '\n';
    }
    const FlashGeometry& g = identity.geometry;
    const nlohmann::json json = {
        {"command", "flash id"},
        {"row", identity.chipIndex},
        {"name", FlashInformation(identity)[0].text},
        {"page_size", g.pageSize},
        {"sector_size", g.sectorSize},
        {"total_blocks", g.blockCount},
        {"device_id", identity.chipIndex},
        {"pages_per_sector", g.pageSize != 0 ? g.sectorSize / g.pageSize : 0},
        {"sectors_per_block", g.sectorsPerBlock},
        {"total_size_kb", identity.flashSize >> 10},
        {"flash_size", identity.flashSize},
    };
    context.Print(json, text.str());
    return kExitOk;
}

// Loads the burn file, then opens and identifies the device. Returns the exit code of a
// failure, or kExitOk with `device` set.
int LoadAndIdentify(CliContext& context, const std::string& file, BurnImage& image,
                    FlashIdentity& identity, UvcHidDevice*& device) {
    if (!LoadImage(context, file, image)) {
        return kExitFailed;
    }
    int code = kExitOk;
    device = OpenIdentified(context, identity, code);
    return device == nullptr ? code : kExitOk;
}

// What the --json object's "error" says when the burn ran to its end but did not update all.
std::string BurnError(const BurnOutcome& outcome) {
    if (!outcome.error.empty()) {
        return outcome.error;
    }
    if (outcome.compareFailed) {
        return std::string(kCompareFailed);
    }
    return outcome.failedAreas != 0 ? outcome.closingText : std::string();
}

int RunBurnCommand(CliContext& context, const FlashArgs& args) {
    if (context.options.all) {
        return RunOnAllBoards(context, boards::JobKind::Burn, args.file, SelectionOf(args), false);
    }
    BurnImage image;
    FlashIdentity identity;
    UvcHidDevice* device = nullptr;
    if (const int code = LoadAndIdentify(context, args.file, image, identity, device);
        code != kExitOk) {
        return code;
    }
    const BurnSelection selection = SelectionOf(args);
    FixedAreaChoice choice(selection);
    BurnOutcome outcome;
    int stoppedCode = kExitInterrupted;
    {
        StopRequest stop;
        const InterruptGuard guard(stop, 2);
        TerminalProgress progress;
        InterruptNotice notice(progress, guard);
        TerminalBoxes boxes(context, progress);
        outcome = RunBurn(*device, image.bytes, identity, choice, boxes, &notice, &stop);
        stoppedCode = guard.ExitCode();
    }
    context.Print({{"command", "flash burn"},
                   {"file", args.file},
                   {"version", VersionText(image.bytes).value_or("")},
                   {"chip", identity.chipIndex},
                   {"selection", SelectionJson(selection)},
                   {"entire_updated", outcome.entireUpdated},
                   {"updated_areas", AreaList(outcome.updatedAreas)},
                   {"not_updated_areas", AreaList(outcome.failedAreas)},
                   {"compare_failed", outcome.compareFailed},
                   {"first_difference", CompareJson(outcome.compare)},
                   {"firmware_not_marked_valid", outcome.firmwareNotMarkedValid},
                   {"needs_new_burn", outcome.needsNewBurn},
                   {"stopped", outcome.stopped},
                   {"closing_text", outcome.closingText},
                   {"error", BurnError(outcome)}},
                  "");
    if (outcome.stopped) {
        return stoppedCode;
    }
    if (!outcome.error.empty()) {
        return kExitFailed;
    }
    if (outcome.compareFailed) {
        return kExitCompareFailed;
    }
    return outcome.failedAreas != 0 ? kExitFailed : kExitOk;
}

std::string RegionLine(const RegionCheck& check) {
    static constexpr const char* kTargetNames[] = {"entire flash", "firmware area", "private area",
                                                   "customized area"};
    const BurnRegion& region = check.region;
    std::string line = std::string(kTargetNames[static_cast<int>(region.target)]) + " " +
                       Hex(region.address) + "+" + Hex(region.length) + ": ";
    const CompareReport& report = check.compare;
    if (!report.mismatch) {
        return line + "matches";
    }
    char detail[160];
    std::snprintf(detail, sizeof detail,
                  "differs, first at 0x%08x (expected 0x%02x, found 0x%02x), %llu byte%s differ%s",
                  report.firstDifference, report.expected, report.found,
                  static_cast<unsigned long long>(report.differingBytes),
                  report.differingBytes == 1 ? "" : "s", report.differingBytes == 1 ? "s" : "");
    return line + detail;
}

int RunVerifyCommand(CliContext& context, const FlashArgs& args) {
    if (context.options.all) {
        return RunOnAllBoards(context, boards::JobKind::Verify, args.file, SelectionOf(args),
                              false);
    }
    BurnImage image;
    FlashIdentity identity;
    UvcHidDevice* device = nullptr;
    if (const int code = LoadAndIdentify(context, args.file, image, identity, device);
        code != kExitOk) {
        return code;
    }
    const BurnSelection selection = SelectionOf(args);
    VerifyOutcome outcome;
    int stoppedCode = kExitInterrupted;
    {
        StopRequest stop;
        const InterruptGuard guard(stop, 1);
        TerminalProgress progress;
        outcome = RunVerify(*device, image.bytes, identity, selection, &progress, &stop);
        stoppedCode = guard.ExitCode();
    }
    std::ostringstream text;
    nlohmann::json regions = nlohmann::json::array();
    for (const RegionCheck& check : outcome.regions) {
        text << RegionLine(check) << '\n';
        regions.push_back({{"address", check.region.address},
                           {"length", check.region.length},
                           {"matches", !check.compare.mismatch},
                           {"first_difference", CompareJson(check.compare)}});
    }
    context.Print({{"command", "flash verify"},
                   {"file", args.file},
                   {"selection", SelectionJson(selection)},
                   {"regions", regions},
                   {"differs", outcome.Differs()},
                   {"error", !outcome.error.empty() || !outcome.Differs()
                                 ? outcome.error
                                 : "The flash differs from the burn file."}},
                  text.str());
    if (!outcome.error.empty()) {
        return context.Error(outcome.error, outcome.stopped ? stoppedCode : kExitFailed);
    }
    return outcome.Differs() ? kExitCompareFailed : kExitOk;
}

int RunDumpCommand(CliContext& context, const FlashArgs& args) {
    if (context.options.all) {
        return RunOnAllBoards(context, boards::JobKind::Dump, args.file, {}, args.force);
    }
    const std::string& path = args.file;
    const bool toStdout = path == "-";
    if (toStdout && context.options.json) {
        return context.Error(
            "flash dump - writes the flash to standard output, where --json prints its object: "
            "name a file, or leave out --json.",
            kExitUsage);
    }
    if (toStdout && IsTerminal(stdout)) {
        return context.Error(
            "Standard output is a terminal: redirect it to a file or a pipe, or name a file.",
            kExitUsage);
    }
    // Anything else under that name (a folder, a pipe) is refused by the dump file itself.
    std::error_code ignored;
    if (!toStdout && !args.force &&
        std::filesystem::is_regular_file(files::PathFromUtf8(path), ignored)) {
        return context.Error("The dump file " + path +
                             " already exists. Add --force to replace it, or choose another name.");
    }

    TerminalProgress progress;
    TerminalBoxes boxes(context, progress, toStdout);
    DumpFile file(boxes, {}, DumpFlush::BeforeRename);
    FlashIdentity identity;
    DumpOutcome outcome;
    int stoppedCode = kExitInterrupted;
    {
        StopRequest stop;
        // From before the partial file is made: an interrupt while the device is opened stops
        // the dump before its first report, and the empty file goes with it.
        const InterruptGuard guard(stop, 1);
        std::string error;
        if (toStdout) {
            file.OpenStream(STDOUT_FILENO, "standard output");
        } else if (!file.Open(files::PathFromUtf8(path), args.force, error)) {
            return context.Error(error);
        }
        int code = kExitOk;
        UvcHidDevice* device = OpenIdentified(context, identity, code);
        if (device == nullptr) {
            return code;
        }
        outcome = RunDumpToFile(*device, identity, file, boxes, &progress, &stop);
        stoppedCode = guard.ExitCode();
    }
    context.Print({{"command", "flash dump"},
                   {"file", path},
                   {"flash_size", identity.flashSize},
                   {"bytes", outcome.bytesDumped},
                   {"completed", outcome.completed},
                   {"stopped", outcome.stopped},
                   {"location", outcome.location},
                   {"error", outcome.error}},
                  "");
    if (outcome.stopped) {
        return stoppedCode;
    }
    return outcome.completed ? kExitOk : kExitFailed;
}

int RunImageInfo(CliContext& context, const std::string& path) {
    BurnImage image;
    if (!LoadImage(context, path, image)) {
        return kExitFailed;
    }
    const std::optional<std::string> version = VersionText(image.bytes);
    const std::optional<FirmwareHeader> header = ReadFirmwareHeader(image.bytes);
    std::ostringstream text;
    text << "size        " << image.bytes.size() << " bytes (" << Hex(image.bytes.size()) << ")\n";
    text << "version     " << version.value_or("none (shorter than 32 bytes)") << '\n';
    nlohmann::json json = {{"command", "image info"},
                           {"file", path},
                           {"size", image.bytes.size()},
                           {"version", version ? nlohmann::json(*version) : nullptr}};
    if (header) {
        text << "Header_len  " << Hex(header->headerLen) << "\nBoot_Size   "
             << Hex(header->bootSize) << "\nfirmware    " << Hex(header->FirmwareLength())
             << " bytes\n";
        json["header_len"] = header->headerLen;
        json["boot_size"] = header->bootSize;
        json["firmware_length"] = header->FirmwareLength();
        for (std::uint32_t sector : {65536u, 4096u}) {
            const std::optional<std::uint32_t> rounded =
                RoundUpToSectors(header->FirmwareLength(), sector);
            const std::string key = "firmware_length_" + std::to_string(sector / 1024) + "k";
            text << "  in " << sector / 1024
                 << " KB sectors: " << (rounded ? Hex(*rounded) : std::string("overflows 32 bits"))
                 << '\n';
            json[key] = rounded ? nlohmann::json(*rounded) : nullptr;
        }
    } else {
        text << "firmware header: none (the file ends before 0x180014)\n";
        json["header_len"] = nullptr;
    }
    struct Burn {
        const char* name;
        const char* key;
        BurnTarget target;
        std::uint32_t sectorSize;
    };
    static constexpr Burn kBurns[] = {
        {"entire", "entire", BurnTarget::EntireFlash, 65536},
        {"firmware (64 KB sectors)", "firmware_64k", BurnTarget::Firmware, 65536},
        {"firmware (4 KB sectors)", "firmware_4k", BurnTarget::Firmware, 4096},
        {"private", "private", BurnTarget::Private, 65536},
        {"customized", "customized", BurnTarget::Customized, 65536},
    };
    nlohmann::json burns = nlohmann::json::object();
    text << "burns this file can serve:\n";
    for (const Burn& burn : kBurns) {
        BurnRegion region;
        std::string error;
        const bool ok =
            PlanRegion(burn.target, image.bytes, ChipLimits{burn.sectorSize, 0}, region, error);
        text << "  " << burn.name << ": "
             << (ok ? "yes, " + Hex(region.length) + " bytes at " + Hex(region.address)
                    : "no - " + error)
             << '\n';
        burns[burn.key] = ok ? nlohmann::json{{"ok", true},
                                              {"address", region.address},
                                              {"length", region.length}}
                             : nlohmann::json{{"ok", false}, {"reason", error}};
    }
    json["burns"] = burns;
    context.Print(json, text.str());
    return kExitOk;
}

void AddAreaOptions(CLI::App* command, FlashArgs& args) {
    CLI::Option* entire =
        command->add_flag("--entire", args.entire, "The whole file from address 0 (default)");
    command
        ->add_option("--area", args.areas,
                     "Other Area instead: firmware, private, customized (repeat for several)")
        ->check(CLI::IsMember({"firmware", "private", "customized"}))
        ->excludes(entire);
}

}  // namespace

void AddFlashCommands(CLI::App& app, CliContext& context, CommandRun& run) {
    auto args = std::make_shared<FlashArgs>();

    CLI::App* flash = app.add_subcommand("flash", "Identify, burn, verify or dump the SPI flash");
    flash->require_subcommand(1);
    flash->add_subcommand("id", "Identify the flash chip and show its geometry")->callback([&] {
        run = [&] { return RunId(context); };
    });

    CLI::App* burn = flash->add_subcommand("burn", "Burn a flash image, then compare it");
    burn->add_option("IMAGE", args->file, "Burn file")->required();
    AddAreaOptions(burn, *args);
    burn->callback([&run, &context, args] {
        run = [&context, args] { return RunBurnCommand(context, *args); };
    });

    CLI::App* verify =
        flash->add_subcommand("verify", "Compare the flash with a flash image, writing nothing");
    verify->add_option("IMAGE", args->file, "Burn file")->required();
    AddAreaOptions(verify, *args);
    verify->callback([&run, &context, args] {
        run = [&context, args] { return RunVerifyCommand(context, *args); };
    });

    CLI::App* dump = flash->add_subcommand("dump", "Read the whole flash into a file");
    dump->add_option("FILE", args->file,
                     "Dump file, written when the dump is complete; - for standard output; "
                     "with --all a pattern holding {port} or {serial}")
        ->required();
    dump->add_flag("--force", args->force, "Replace FILE if it exists");
    dump->callback([&run, &context, args] {
        run = [&context, args] { return RunDumpCommand(context, *args); };
    });

    CLI::App* image = app.add_subcommand("image", "Look at a burn file, without a device");
    image->require_subcommand(1);
    CLI::App* info = image->add_subcommand("info", "Size, version, firmware header, burns");
    info->add_option("IMAGE", args->file, "Burn file")->required();
    info->callback([&run, &context, args] {
        run = [&context, args] { return RunImageInfo(context, args->file); };
    });
}

}  // namespace brimlo::cli
