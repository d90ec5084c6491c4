#pragma once
// The HID stack of Linux: the hidraw nodes listed by udev, opened into hidraw connections.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "hid/hid_platform.h"
#include "hid/linux/hidraw_system.h"

namespace brimlo::hid {

// Where the build put the udev rule that lets users open the default device's nodes.
std::string_view DefaultUdevRulePath();

class HidrawPlatform final : public HidPlatform {
  public:
    // This machine's hidraw nodes; permission failures point at DefaultUdevRulePath().
    HidrawPlatform();
    // `system` makes the system calls; `udevRulePath` is the rule a permission failure names.
    HidrawPlatform(std::shared_ptr<HidrawSystem> system, std::string udevRulePath);

    // The nodes ordered by device number (hidraw0, hidraw1, ..., hidraw10), so that the same
    // devices are always walked in the same order. As on Windows, each top-level collection of
    // a node's descriptor is an interface of its own: a node with several is listed once per
    // collection, in descriptor order, as CollectionPath(node, 1), CollectionPath(node, 2), ...
    std::unique_ptr<HidInterfaceSet> PresentInterfaces(std::string& error) override;
    // Opens the node of `path`, standing for the collection the path names. hidraw has no
    // sharing modes or overlapped I/O: `options` change nothing here.
    std::unique_ptr<HidConnection> Open(const std::string& path, const HidOpenOptions& options,
                                        std::string& error) override;
    BoardLocation Locate(const std::string& path) override;

    // "/dev/hidraw3#col02": the path of top-level collection `collection` (1 for the first) of
    // the node at `devnode`.
    static std::string CollectionPath(const std::string& devnode, std::size_t collection);
    // The node an interface path stands for: "/dev/hidraw3" for "/dev/hidraw3#col02".
    static std::string NodeOf(const std::string& path);

  private:
    std::shared_ptr<HidrawSystem> system_;
    std::string udevRulePath_;
};

}  // namespace brimlo::hid
