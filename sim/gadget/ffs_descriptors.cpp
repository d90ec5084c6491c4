#include "sim/gadget/ffs_descriptors.h"

#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>

#include "sim/gadget/hid_gadget_requests.h"

namespace brimlo::kernel_test {
namespace {

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void PatchLength(std::vector<std::uint8_t>& blob) {
    const auto length = static_cast<std::uint32_t>(blob.size());
    for (int i = 0; i < 4; ++i) {
        blob[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    }
}

// Interface, HID class descriptor, endpoint: three descriptors.
constexpr std::uint32_t kDescriptorsPerSpeed = 3;

void PutSpeed(std::vector<std::uint8_t>& out, std::uint16_t reportDescriptorLength,
              std::uint8_t interval) {
    out.insert(out.end(), {
                              USB_DT_INTERFACE_SIZE, USB_DT_INTERFACE,
                              0,  // bInterfaceNumber: FunctionFS numbers the interfaces
                              0,  // bAlternateSetting
                              1,  // bNumEndpoints
                              USB_CLASS_HID,
                              0,  // bInterfaceSubClass: no boot interface
                              0,  // bInterfaceProtocol
                              0,  // iInterface
                          });
    const std::vector<std::uint8_t> hid = BuildHidClassDescriptor(reportDescriptorLength);
    out.insert(out.end(), hid.begin(), hid.end());
    out.insert(out.end(), {
                              USB_DT_ENDPOINT_SIZE,
                              USB_DT_ENDPOINT,
                              kInterruptInEndpoint,
                              USB_ENDPOINT_XFER_INT,
                              static_cast<std::uint8_t>(kInterruptInMaxPacket & 0xFF),
                              static_cast<std::uint8_t>(kInterruptInMaxPacket >> 8),
                              interval,
                          });
}

}  // namespace

std::vector<std::uint8_t> BuildFunctionFsDescriptors(std::uint16_t reportDescriptorLength) {
    std::vector<std::uint8_t> blob;
    Put32(blob, FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
    Put32(blob, 0);  // length, patched below
    Put32(blob, FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC);
    Put32(blob, kDescriptorsPerSpeed);           // fs_count
    Put32(blob, kDescriptorsPerSpeed);           // hs_count
    PutSpeed(blob, reportDescriptorLength, 10);  // full speed: every 10 ms
    PutSpeed(blob, reportDescriptorLength, 4);   // high speed: 2^(4-1) microframes, 1 ms
    PatchLength(blob);
    return blob;
}

std::vector<std::uint8_t> BuildFunctionFsStrings() {
    std::vector<std::uint8_t> blob;
    Put32(blob, FUNCTIONFS_STRINGS_MAGIC);
    Put32(blob, 0);  // length, patched below
    Put32(blob, 0);  // str_count
    Put32(blob, 0);  // lang_count
    PatchLength(blob);
    return blob;
}

}  // namespace brimlo::kernel_test
