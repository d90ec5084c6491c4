#include "dialog/flash_panel_logic.h"

#include "dialog/peripheral_panel.h"
#include "flash/flash_areas.h"
#include "flash/flash_messages.h"
#include "hid/debug_output.h"

namespace brimlo::app {
namespace {

PanelBox ErrorBox(std::string text) {
    return {std::move(text), flash::kCaptionError, MessageIcon::Error};
}

}  // namespace

GetIdResult FlashPanelLogic::GetId(UvcHidDevice& device) {
    GetIdResult result;
    if (!device.IsOpen()) {
        result.box = ErrorBox(kNoDeviceMessage);
        return result;
    }
    std::uint16_t answer = 0;
    if (!device.ReadFlashChipIndex(answer)) {
        return result;  // the exchange has written its debug line; the identification stays
    }
    hid::DebugPrintf("Device ID: %d\n", answer);
    std::string error;
    if (!flash::AcceptChipIndex(answer, identity_, error)) {
        result.box = ErrorBox(std::move(error));
        return result;
    }
    const auto fields = flash::FlashInformation(identity_);
    result.fields.emplace();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        (*result.fields)[i] = fields[i].text;
    }
    return result;
}

BurnFileResult FlashPanelLogic::ChooseBurnFile(const std::filesystem::path& path,
                                               const flash::BurnSelection& selection) {
    CloseSelectedFile();
    BurnFileResult result;
    std::string error;
    if (!flash::LoadBurnImage(path, image_, error)) {
        result.box = ErrorBox(std::move(error));
        return result;
    }
    burnLoaded_ = result.loaded = true;
    result.versionText = flash::VersionText(image_.bytes).value_or(std::string());

    // Before Get ID the firmware's length cannot be rounded to the chip's sectors; the other
    // choices can already be checked against the file.
    flash::BurnSelection checked = selection;
    if (!identity_.Identified()) {
        checked.areas[flash::kFirmwareArea] = false;
    }
    if (!flash::CheckBurnFile(image_.bytes, Chip(), checked, error)) {
        result.box = ErrorBox(std::move(error));
    }
    return result;
}

std::optional<PanelBox> FlashPanelLogic::ChooseDumpFile(const std::filesystem::path& path) {
    CloseSelectedFile();
    std::string error;
    if (!dumpFile_.Open(path, /*replace=*/true, error)) {
        return ErrorBox(std::move(error));
    }
    return std::nullopt;
}

std::optional<PanelBox> FlashPanelLogic::BurnRefusal(const flash::BurnSelection& selection) const {
    if (const auto refusal = flash::BurnRefusal(burnLoaded_, identity_)) {
        return ErrorBox(std::string(*refusal));
    }
    bool anyArea = false;
    for (bool area : selection.areas) {
        anyArea = anyArea || area;
    }
    if (!selection.entireFlash && !anyArea) {
        return ErrorBox(std::string(flash::kNoAreaSelected));
    }
    std::string error;
    if (!flash::CheckBurnFile(image_.bytes, Chip(), selection, error)) {
        return ErrorBox(std::move(error));
    }
    return std::nullopt;
}

std::optional<PanelBox> FlashPanelLogic::DumpRefusal() const {
    if (const auto refusal = flash::DumpRefusal(dumpFile_.IsOpen(), identity_)) {
        return ErrorBox(std::string(*refusal));
    }
    return std::nullopt;
}

void FlashPanelLogic::CloseSelectedFile() {
    dumpFile_.Abandon();
    image_ = flash::BurnImage{};
    burnLoaded_ = false;
}

PanelBox RunningCloseBox(FlashTask task) {
    if (task == FlashTask::Burn) {
        return {
            "A burn is running. It cannot be stopped halfway, since that would leave the "
            "flash half-written. The window closes as soon as the burn has ended.",
            flash::kCaptionInfo, MessageIcon::Information};
    }
    return {
        "A dump is running. The window closes as soon as the dump has ended; press Stop to "
        "end it now.",
        flash::kCaptionInfo, MessageIcon::Information};
}

}  // namespace brimlo::app
