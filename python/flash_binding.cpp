// Device.flash: Get ID, burn, verify and dump, run without the GIL. Progress and Ctrl+C are
// looked at from the sequence's own progress calls, with the GIL, a few times a second.

#include <pybind11/stl.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "boards/board_status.h"
#include "commands/recorded_boxes.h"
#include "files/file_io.h"
#include "flash/burn_image.h"
#include "flash/burn_sequence.h"
#include "flash/dump_file.h"
#include "flash/dump_sequence.h"
#include "flash/flash_messages.h"
#include "flash/verify_sequence.h"
#include "python/binding.h"

namespace brimlo::python {
namespace {

using namespace brimlo::flash;
using Clock = std::chrono::steady_clock;

// How often a running sequence looks for Ctrl+C, and how often it calls `progress`.
constexpr auto kSignalInterval = std::chrono::milliseconds(100);
constexpr auto kProgressInterval = std::chrono::milliseconds(250);

constexpr const char* kAreaNames[kFlashAreaCount] = {"firmware", "private", "customized"};

struct Flash {
    Device* device;  // kept alive by the Flash object
};

struct FlashId {
    std::string name;
    int deviceId = 0;
    std::uint32_t pageSize = 0;
    std::uint32_t pagesPerSector = 0;
    std::uint32_t sectorSize = 0;
    std::uint32_t sectorsPerBlock = 0;
    std::uint32_t totalBlocks = 0;
    std::uint32_t totalSize = 0;
};

struct Difference {
    std::uint32_t address = 0;
    int expected = 0;
    int found = 0;
    std::uint64_t differingBytes = 0;
};

// Passes the sequence's progress to a Python callable, and turns Ctrl+C into a stop: at once
// for a verify or dump; for a burn the first press warns, the second stops.
class ProgressRelay final : public FlashProgress {
  public:
    ProgressRelay(py::object callback, bool burn) : callback_(std::move(callback)), burn_(burn) {}

    void RegionStarted(std::string_view region) override {
        status_.RegionStarted(region);
        Poll(false);
    }
    void StatusChanged(std::string_view status) override {
        status_.StatusChanged(status);
        Poll(false);
    }
    void BurstStarted(std::uint32_t total) override {
        status_.BurstStarted(total);
        total_ = total;
        Poll(false);
    }
    void BytesDone(std::uint32_t done) override {
        status_.BytesDone(done);
        Poll(done == total_);
    }

    const StopRequest* Stop() const { return &stop_; }
    bool Interrupted() const { return interrupted_.has_value(); }

    // After the sequence, with the GIL: raises what the callback raised, or KeyboardInterrupt
    // carrying `stopText` (what the stop left behind).
    void RaisePending(const std::string& stopText) {
        if (raised_) {
            raised_->restore();
            throw py::error_already_set();
        }
        if (interrupted_) {
            interrupted_.reset();
            PyErr_SetString(PyExc_KeyboardInterrupt, stopText.c_str());
            throw py::error_already_set();
        }
    }

  private:
    // Called on the sequence's thread without the GIL; `last` forces a progress call.
    void Poll(bool last) {
        const Clock::time_point now = Clock::now();
        const bool call = !callback_.is_none() && (last || now >= nextCall_);
        if (!call && now < nextSignalCheck_) {
            return;
        }
        nextSignalCheck_ = now + kSignalInterval;
        py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0) {
            Interrupt();
        }
        if (call && !raised_) {
            nextCall_ = now + kProgressInterval;
            const boards::BoardStatus::Snapshot snapshot = status_.Read();
            try {
                callback_(snapshot.phase, snapshot.done, snapshot.total);
            } catch (py::error_already_set& error) {
                if (error.matches(PyExc_KeyboardInterrupt)) {
                    Interrupt(std::move(error));
                } else {
                    raised_ = std::move(error);
                    stop_.Request();
                }
            }
        }
    }

    // With the GIL, an exception set or given.
    void Interrupt(std::optional<py::error_already_set> error = std::nullopt) {
        if (!error) {
            error.emplace();
        }
        if (!error->matches(PyExc_KeyboardInterrupt)) {
            raised_ = std::move(error);
            stop_.Request();
            return;
        }
        ++presses_;
        if (burn_ && presses_ == 1) {
            const std::string notice =
                std::string(kBurnInterruptNotice) + " " + std::string(kBurnInterruptAgain);
            if (PyErr_WarnEx(PyExc_RuntimeWarning, notice.c_str(), 1) != 0) {
                raised_.emplace();
                stop_.Request();
            }
            return;
        }
        interrupted_ = std::move(error);
        stop_.Request();
    }

    py::object callback_;
    const bool burn_;
    boards::BoardStatus status_;
    StopRequest stop_;
    std::uint32_t total_ = 0;
    int presses_ = 0;
    Clock::time_point nextCall_ = Clock::now();
    Clock::time_point nextSignalCheck_ = Clock::now();
    std::optional<py::error_already_set> raised_;
    std::optional<py::error_already_set> interrupted_;
};

void CheckCallable(const py::object& progress) {
    if (!progress.is_none() && !PyCallable_Check(progress.ptr())) {
        throw py::type_error("progress must be a callable (phase, done, total) or None");
    }
}

// Bytes, or a path (str or os.PathLike) to read them from.
std::vector<std::uint8_t> ImageBytes(const py::object& image) {
    if (py::isinstance<py::bytes>(image) || py::isinstance<py::bytearray>(image) ||
        py::isinstance<py::memoryview>(image)) {
        // A copy in order, whatever the view's strides.
        const auto copy = py::reinterpret_steal<py::bytes>(PyBytes_FromObject(image.ptr()));
        if (!copy) {
            throw py::error_already_set();
        }
        const std::string_view bytes = copy;
        if (bytes.empty()) {
            throw ModuleError{ErrorKind::Image, "The burn image is empty.", std::nullopt};
        }
        if (bytes.size() > kMaxBurnFileSize) {
            throw ModuleError{ErrorKind::Image, "The burn image must be smaller than 4 GB.",
                              std::nullopt};
        }
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    }
    if (!py::isinstance<py::str>(image) && !py::hasattr(image, "__fspath__")) {
        throw py::type_error("image must be bytes, bytearray, memoryview or a path");
    }
    const std::string path = py::str(py::module_::import("os").attr("fspath")(image));
    BurnImage loaded;
    std::string error;
    bool ok = false;
    {
        py::gil_scoped_release release;
        ok = LoadBurnImage(files::PathFromUtf8(path), loaded, error);
    }
    if (!ok) {
        throw ModuleError{ErrorKind::Image, error, std::nullopt};
    }
    return std::move(loaded.bytes);
}

BurnSelection SelectionOf(const std::optional<std::vector<std::string>>& areas) {
    BurnSelection selection;
    selection.entireFlash = !areas;
    if (!areas) {
        return selection;
    }
    if (areas->empty()) {
        throw ModuleError{ErrorKind::Usage,
                          "areas names no area: pass None for the entire flash, or some of "
                          "\"firmware\", \"private\", \"customized\".",
                          std::nullopt};
    }
    for (const std::string& area : *areas) {
        std::size_t row = 0;
        while (row < kFlashAreaCount && area != kAreaNames[row]) {
            ++row;
        }
        if (row == kFlashAreaCount) {
            throw py::value_error("unknown area '" + area +
                                  "': use \"firmware\", \"private\" or \"customized\"");
        }
        selection.areas[row] = true;
    }
    return selection;
}

// Get ID, without the GIL. DeviceError when the device does not answer.
FlashIdentity Identify(UvcHidDevice& device) {
    FlashIdentity identity;
    std::string error;
    if (!IdentifyFlash(device, identity, error)) {
        if (device.LastError() == kDeviceBusy) {
            throw ModuleError{ErrorKind::Busy, error, std::nullopt};
        }
        throw ModuleError{ErrorKind::Device, error, std::nullopt};
    }
    return identity;
}

FlashId Id(const Flash& self) {
    const auto board = self.device->Use();
    FlashIdentity identity;
    {
        py::gil_scoped_release release;
        identity = Identify(*board->device);
    }
    const FlashGeometry& g = identity.geometry;
    return {FlashInformation(identity)[0].text,
            identity.chipIndex,
            g.pageSize,
            g.pageSize != 0 ? g.sectorSize / g.pageSize : 0u,
            g.sectorSize,
            g.sectorsPerBlock,
            g.blockCount,
            identity.flashSize};
}

std::string Burn(const Flash& self, const py::object& image,
                 const std::optional<std::vector<std::string>>& areas, const py::object& progress) {
    CheckCallable(progress);
    const BurnSelection selection = SelectionOf(areas);
    const std::vector<std::uint8_t> bytes = ImageBytes(image);
    const auto board = self.device->Use();
    ProgressRelay relay(progress, true);
    RecordedBoxes boxes;
    BurnOutcome outcome;
    {
        py::gil_scoped_release release;
        const FlashIdentity identity = Identify(*board->device);
        FixedAreaChoice choice(selection);
        outcome = RunBurn(*board->device, bytes, identity, choice, boxes, &relay, relay.Stop());
    }
    relay.RaisePending(boxes.last.empty() ? outcome.error : boxes.last);
    if (!outcome.error.empty()) {
        throw ModuleError{ErrorKind::Device, outcome.error, std::nullopt};
    }
    if (outcome.compareFailed) {
        throw ModuleError{ErrorKind::Compare, std::string(kCompareFailed), outcome.compare};
    }
    if (outcome.failedAreas != 0 || outcome.firmwareNotMarkedValid || !outcome.Updated()) {
        throw ModuleError{ErrorKind::Device, boxes.last.empty() ? outcome.closingText : boxes.last,
                          std::nullopt};
    }
    return outcome.closingText;
}

std::optional<Difference> Verify(const Flash& self, const py::object& image,
                                 const std::optional<std::vector<std::string>>& areas,
                                 const py::object& progress) {
    CheckCallable(progress);
    const BurnSelection selection = SelectionOf(areas);
    const std::vector<std::uint8_t> bytes = ImageBytes(image);
    const auto board = self.device->Use();
    ProgressRelay relay(progress, false);
    VerifyOutcome outcome;
    {
        py::gil_scoped_release release;
        const FlashIdentity identity = Identify(*board->device);
        outcome = RunVerify(*board->device, bytes, identity, selection, &relay, relay.Stop());
    }
    relay.RaisePending(outcome.error);
    if (!outcome.error.empty()) {
        throw ModuleError{ErrorKind::Device, outcome.error, std::nullopt};
    }
    for (const RegionCheck& check : outcome.regions) {
        if (check.compare.mismatch) {
            const CompareReport& report = check.compare;
            return Difference{report.firstDifference, static_cast<int>(report.expected),
                              static_cast<int>(report.found), report.differingBytes};
        }
    }
    return std::nullopt;
}

// The dump's chunks in memory.
class MemorySink final : public FlashChunkSink {
  public:
    std::size_t Write(std::span<const std::uint8_t> chunk) override {
        bytes.insert(bytes.end(), chunk.begin(), chunk.end());
        return chunk.size();
    }
    std::string bytes;
};

py::object Dump(const Flash& self, const py::object& pathArg, const py::object& progress,
                bool force) {
    CheckCallable(progress);
    if (!pathArg.is_none() && !py::isinstance<py::str>(pathArg) &&
        !py::hasattr(pathArg, "__fspath__")) {
        throw py::type_error("path must be a str, an os.PathLike or None");
    }
    const auto board = self.device->Use();
    ProgressRelay relay(progress, false);
    RecordedBoxes boxes;
    if (pathArg.is_none()) {
        MemorySink sink;
        DumpOutcome outcome;
        {
            py::gil_scoped_release release;
            const FlashIdentity identity = Identify(*board->device);
            outcome = RunDump(*board->device, identity, sink, boxes, &relay, relay.Stop());
        }
        relay.RaisePending(outcome.error);
        if (!outcome.completed) {
            throw ModuleError{ErrorKind::Device, outcome.error, std::nullopt};
        }
        return py::bytes(sink.bytes);
    }
    const std::string path = py::str(py::module_::import("os").attr("fspath")(pathArg));
    DumpFile file(boxes);
    DumpOutcome outcome;
    {
        py::gil_scoped_release release;
        std::string error;
        if (!file.Open(files::PathFromUtf8(path), force, error)) {
            std::error_code ignored;
            const bool exists =
                std::filesystem::is_regular_file(files::PathFromUtf8(path), ignored);
            throw ModuleError{exists && !force ? ErrorKind::Usage : ErrorKind::Device,
                              exists && !force ? error +
                                                     " Pass force=True to replace it, or "
                                                     "choose another name."
                                               : error,
                              std::nullopt};
        }
        const FlashIdentity identity = Identify(*board->device);
        outcome = RunDumpToFile(*board->device, identity, file, boxes, &relay, relay.Stop());
    }
    relay.RaisePending(boxes.last.empty() ? outcome.error : boxes.last);
    if (!outcome.completed) {
        throw ModuleError{ErrorKind::Device, outcome.error, std::nullopt};
    }
    return py::none();
}

}  // namespace

void AddFlash(py::module_& module, py::class_<Device>& device) {
    py::class_<FlashId>(module, "FlashId", "The flash chip Get ID found, and its geometry.")
        .def_readonly("name", &FlashId::name)
        .def_readonly("device_id", &FlashId::deviceId, "The chip's row of the chip table.")
        .def_readonly("page_size", &FlashId::pageSize)
        .def_readonly("pages_per_sector", &FlashId::pagesPerSector)
        .def_readonly("sector_size", &FlashId::sectorSize)
        .def_readonly("sectors_per_block", &FlashId::sectorsPerBlock)
        .def_readonly("total_blocks", &FlashId::totalBlocks)
        .def_readonly("total_size", &FlashId::totalSize, "In bytes.")
        .def("__repr__", [](const FlashId& self) {
            return "<brimlo_hid.FlashId " + self.name + ", " + std::to_string(self.totalSize) +
                   " bytes>";
        });
    py::class_<Difference>(module, "Difference", "Where the flash first differs from the image.")
        .def_readonly("address", &Difference::address)
        .def_readonly("expected", &Difference::expected, "The image's byte there.")
        .def_readonly("found", &Difference::found, "The flash's byte there.")
        .def_readonly("differing_bytes", &Difference::differingBytes,
                      "How many bytes of the region differ.")
        .def("__repr__", [](const Difference& self) {
            char text[96];
            std::snprintf(text, sizeof text,
                          "<brimlo_hid.Difference at 0x%08x: expected 0x%02x, found 0x%02x>",
                          self.address, self.expected, self.found);
            return std::string(text);
        });

    constexpr const char* kProgressDoc =
        " `progress`, when given, is called as progress(phase, done, total) a few times a "
        "second.";
    py::class_<Flash>(module, "Flash", "The board's SPI flash: Device.flash.")
        .def("id", &Id, "Get ID: the flash chip and its geometry.")
        .def("burn", &Burn, py::arg("image"), py::arg("areas") = py::none(),
             py::arg("progress") = py::none(),
             (std::string("Burns `image` (bytes or a path): the entire flash when `areas` is "
                          "None, else the listed areas (\"firmware\", \"private\", "
                          "\"customized\"); each is read back and compared where the tools "
                          "compare. Returns the closing text. CompareError when the read-back "
                          "differs. The first Ctrl+C warns, the second stops at the next report "
                          "and raises KeyboardInterrupt saying what was updated.") +
              kProgressDoc)
                 .c_str())
        .def("verify", &Verify, py::arg("image"), py::arg("areas") = py::none(),
             py::arg("progress") = py::none(),
             (std::string("Compares the flash with `image`, writing nothing: None when they "
                          "match, else the first Difference. Ctrl+C stops it.") +
              kProgressDoc)
                 .c_str())
        .def("dump", &Dump, py::arg("path") = py::none(), py::arg("progress") = py::none(),
             py::arg("force") = false,
             (std::string("Reads the whole flash: returns it as bytes when `path` is None, else "
                          "writes it to `path` (through a partial file renamed when complete; "
                          "an existing file only with force=True). Ctrl+C stops it at a report "
                          "boundary, keeping what was read in the partial file.") +
              kProgressDoc)
                 .c_str());

    device.def_property_readonly(
        "flash", [](Device& self) { return Flash{&self}; }, py::keep_alive<0, 1>(),
        "The board's SPI flash: id(), burn(), verify(), dump().");
}

}  // namespace brimlo::python
