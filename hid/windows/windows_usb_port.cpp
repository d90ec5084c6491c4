#include "hid/windows/windows_usb_port.h"

#include <cstddef>
#include <vector>

#include "files/utf16_text.h"

namespace brimlo::hid {
namespace {

// DEVPKEY_Device_LocationPaths; devpkey.h would define it only in one unit compiled with
// INITGUID.
const DEVPROPKEY kLocationPaths = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 37};

// A device tree deeper than this is a loop in a broken tree, not hardware.
constexpr int kMaxAncestors = 32;

struct Step {
    std::wstring_view name;
    std::wstring_view argument;
};

// "USB(2)" as {"USB", "2"}; false when it is not of that form.
bool ParseStep(std::wstring_view text, Step& step) {
    const std::size_t open = text.find(L'(');
    if (open == 0 || open == std::wstring_view::npos || text.back() != L')' ||
        open + 2 >= text.size()) {
        return false;
    }
    step = {text.substr(0, open), text.substr(open + 1, text.size() - open - 2)};
    return true;
}

bool IsDecimal(std::wstring_view text) {
    if (text.empty() || text.size() > 3) {
        return false;
    }
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
    }
    return true;
}

bool IsHex(std::wstring_view text) {
    for (wchar_t c : text) {
        if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f'))) {
            return false;
        }
    }
    return !text.empty();
}

}  // namespace

std::string UsbPortFromLocationPath(std::wstring_view path) {
    std::vector<Step> steps;
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = path.find(L'#', start);
        if (end == std::wstring_view::npos) {
            end = path.size();
        }
        Step step;
        if (!ParseStep(path.substr(start, end - start), step)) {
            return {};
        }
        steps.push_back(step);
        start = end + 1;
    }
    std::size_t root = 0;
    while (root < steps.size() && steps[root].name != L"USBROOT") {
        ++root;
    }
    // The root hub, then at least one hub port, and nothing but hub ports after it.
    if (root + 1 >= steps.size() || !IsDecimal(steps[root].argument)) {
        return {};
    }
    std::wstring ports;
    for (std::size_t i = root + 1; i < steps.size(); ++i) {
        if (steps[i].name != L"USB" || !IsDecimal(steps[i].argument)) {
            return {};
        }
        ports += (ports.empty() ? L"" : L".") + std::wstring(steps[i].argument);
    }
    std::wstring controller;
    bool pciFromFirstRoot = root >= 2 && steps[0].name == L"PCIROOT" && steps[0].argument == L"0" &&
                            steps[root].argument == L"0";
    for (std::size_t i = 1; pciFromFirstRoot && i < root; ++i) {
        pciFromFirstRoot = steps[i].name == L"PCI" && IsHex(steps[i].argument);
        controller += (controller.empty() ? L"" : L".") + std::wstring(steps[i].argument);
    }
    if (!pciFromFirstRoot) {
        return files::Utf8FromUtf16(path);
    }
    return files::Utf8FromUtf16(controller + L"-" + ports);
}

std::string UsbPortOfDevNode(const WinHidApi& api, DEVINST node) {
    for (int depth = 0; depth < kMaxAncestors; ++depth) {
        DEVPROPTYPE type = 0;
        ULONG size = 0;
        CONFIGRET result =
            api.CM_Get_DevNode_PropertyW(node, &kLocationPaths, &type, nullptr, &size, 0);
        if (result == CR_BUFFER_SMALL && size >= sizeof(wchar_t)) {
            // A list of strings, each ending in a terminator, the list in one more.
            std::vector<wchar_t> list(size / sizeof(wchar_t) + 2, L'\0');
            result = api.CM_Get_DevNode_PropertyW(node, &kLocationPaths, &type,
                                                  reinterpret_cast<PBYTE>(list.data()), &size, 0);
            if (result == CR_SUCCESS && type == DEVPROP_TYPE_STRING_LIST) {
                for (const wchar_t* entry = list.data(); *entry != L'\0';) {
                    const std::wstring_view text(entry);
                    const std::string port = UsbPortFromLocationPath(text);
                    if (!port.empty()) {
                        return port;
                    }
                    entry += text.size() + 1;
                }
            }
        }
        DEVINST parent = 0;
        if (api.CM_Get_Parent(&parent, node, 0) != CR_SUCCESS) {
            return {};
        }
        node = parent;
    }
    return {};
}

}  // namespace brimlo::hid
