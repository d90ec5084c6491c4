#pragma once
// What the flash panel's buttons do, apart from the widgets: Get ID, the one selected file
// (a burn image in memory or an open dump file), the checks before a burn or dump starts and
// the texts that close a run. The dialog applies the results to its widgets; the worker uses
// the identity and the selected file while it runs, and nothing else touches them meanwhile.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "commands/message_boxes.h"
#include "commands/uvc_hid_device.h"
#include "flash/burn_image.h"
#include "flash/burn_plan.h"
#include "flash/dump_file.h"
#include "flash/flash_identity.h"

namespace brimlo::app {

struct PanelBox {
    std::string text;
    std::string_view caption;
    MessageIcon icon = MessageIcon::Error;
};

// The eight "Flash Information" texts, in the order of FlashInformation's fields.
using FlashInfoTexts = std::array<std::string, flash::kInfoFieldCount>;

struct GetIdResult {
    std::optional<FlashInfoTexts> fields;  // the new identification's texts
    std::optional<PanelBox> box;
};

struct BurnFileResult {
    bool loaded = false;
    std::string versionText;  // for ".hex :"; empty when the file carries no version
    std::optional<PanelBox> box;
};

enum class FlashTask { Burn, Dump };

class FlashPanelLogic {
  public:
    // `fileBoxes` tells the user about dump-file failures; the dump worker writes the file, so it
    // must be callable from the worker's thread.
    explicit FlashPanelLogic(MessageBoxes& fileBoxes) : dumpFile_(fileBoxes) {}

    // Asks the device for its flash chip. An answer that names no row of the chip table gets a
    // box and leaves the previous identification; a failed exchange leaves a debug line only.
    GetIdResult GetId(UvcHidDevice& device);
    const flash::FlashIdentity& Identity() const { return identity_; }

    // Makes `path` the selected file, closing the one before. A burn file is read whole; one
    // the burn cannot use now (unreadable, or refused for `selection` on the identified chip)
    // gets a box, and the Burn button will refuse it.
    BurnFileResult ChooseBurnFile(const std::filesystem::path& path,
                                  const flash::BurnSelection& selection);
    // The dump goes into a new file beside `path`, which replaces `path` once the dump is
    // complete; the chooser has asked before an existing file is chosen.
    std::optional<PanelBox> ChooseDumpFile(const std::filesystem::path& path);

    // Why a burn with `selection`, or a dump, cannot start now; nothing when it can. Checked on
    // the dialog's thread, before anything is sent, so a refusal keeps the chosen file.
    std::optional<PanelBox> BurnRefusal(const flash::BurnSelection& selection) const;
    std::optional<PanelBox> DumpRefusal() const;

    // For the worker, while it runs.
    std::span<const std::uint8_t> BurnBytes() const { return image_.bytes; }
    flash::DumpFile& DumpSink() { return dumpFile_; }

    // At a worker's end and when the dialog closes: a dump file that was never dumped into
    // removed, the burn image freed.
    void CloseSelectedFile();
    bool BurnLoaded() const { return burnLoaded_; }
    bool DumpOpen() const { return dumpFile_.IsOpen(); }

  private:
    flash::ChipLimits Chip() const { return {identity_.SectorSize(), identity_.flashSize}; }

    flash::FlashIdentity identity_;
    flash::BurnImage image_;
    bool burnLoaded_ = false;
    flash::DumpFile dumpFile_;
};

// What the dialog says when it is asked to close while `task` runs.
PanelBox RunningCloseBox(FlashTask task);

}  // namespace brimlo::app
