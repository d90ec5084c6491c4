#include "boards/interface_checks.h"

#include <cstdio>
#include <string>

#include "boards/board_list.h"
#include "commands/uvc_hid_device.h"
#include "hid/hid_interface_list.h"
#include "session/single_interface_platform.h"

namespace brimlo::boards {
namespace {

std::string Ids(std::uint16_t vendorId, std::uint16_t productId) {
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", vendorId, productId);
    return text;
}

}  // namespace

std::vector<hid::SetupCheck> CheckInterfaces(hid::HidPlatform& platform, std::uint16_t vendorId,
                                             std::uint16_t productId) {
    std::vector<hid::SetupCheck> checks;
    std::vector<hid::HidInterfaceInfo> interfaces;
    std::string error;
    if (!hid::DescribeHidInterfaces(platform, interfaces, error)) {
        checks.push_back({"device", false, "the HID interfaces cannot be listed: " + error,
                          "try again; if it keeps failing, restart the computer"});
        return checks;
    }
    std::vector<Board> list;
    std::size_t unknown = 0;
    for (const hid::HidInterfaceInfo& info : interfaces) {
        if (!info.described) {
            ++unknown;
        } else if (info.vendorId == vendorId && info.productId == productId) {
            list.push_back({info.path, info.location.port, info.location.serial});
        }
    }
    if (list.empty()) {
        std::string text = "no HID interface with " + Ids(vendorId, productId) + " is present";
        // A device another program holds may be among them.
        if (unknown > 0) {
            text += " among those that could be opened (" + std::to_string(unknown) +
                    " could not: another program may hold them)";
        }
        checks.push_back({"device", false, text,
                          "plug the device in and close any other program using it; if Device "
                          "Manager shows it with a warning sign, uninstall it there and plug it "
                          "in again so that Windows' own HID driver takes it"});
        return checks;
    }
    for (const Board& board : list) {
        const std::string name =
            board.path + (board.port.empty() ? "" : " (port " + board.port + ")");
        // Only a bound HID driver puts an interface in the HID class's list.
        checks.push_back({"device", true, name + ": present, with the HID driver bound", ""});
        hid::HidOpenOptions options;
        options.readAccess = options.writeAccess = true;
        if (!platform.Open(board.path, options, error)) {
            checks.push_back({"access", false, error,
                              "close the program that holds the device (the dialog, another "
                              "brimlo-hid) and try again"});
            continue;
        }
        checks.push_back({"access", true, board.path + ": opens for reading and writing", ""});
        session::SingleInterfacePlatform single(platform, board.path);
        UvcHidDevice device(single);
        const OpenResult opened = device.Open(vendorId, productId);
        if (opened.status != OpenStatus::Opened) {
            checks.push_back({"reports", false, board.path + ": " + opened.message,
                              "check that -d names this device and that its firmware is the "
                              "device's own"});
            continue;
        }
        std::string text = board.path + ":";
        struct Channel {
            std::size_t index;
            const char* name;
        };
        for (const Channel channel :
             {Channel{kFlashChannel, " flash data"}, Channel{kControlChannel, ", command"},
              Channel{kIicChannel, ", IIC"}}) {
            text += std::string(channel.name) + " channel out " +
                    std::to_string(device.OutputReportLength(channel.index)) + " / in " +
                    std::to_string(device.InputReportLength(channel.index)) + " bytes";
        }
        checks.push_back({"reports", true, text, ""});
    }
    return checks;
}

}  // namespace brimlo::boards
