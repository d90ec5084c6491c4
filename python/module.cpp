// brimlo_hid: the device library for Python scripts, opening boards as the command-line tool
// does and running the same register, IIC, GPIO, HDMI and flash commands in-process.

#include <pybind11/stl.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>
#include <type_traits>
#include <vector>

#include "boards/board_choice.h"
#include "commands/firmware_version.h"
#include "commands/iic_scan.h"
#include "commands/panel_format.h"
#include "hid/debug_output.h"
#include "hid/hid_interface_list.h"
#include "python/binding.h"
#include "session/single_interface_platform.h"

namespace brimlo::python {
namespace {

constexpr const char* kModuleDoc =
    R"(Scripting access to the BRIMLO capture board's vendor HID interface.

Boards are opened as the command-line tool opens them: the system's HID devices, or the
emulated board with simulate=True. Every command runs in this process, so a loop of
thousands of register reads costs no new process and no new enumeration.

    import brimlo_hid

    with brimlo_hid.open(simulate=True) as dev:
        print(dev.description, dev.fw_version())
        dev.reg_write(0x03FF0000, 0xF6000000)
        print(hex(dev.reg_read(0x03FF0000)))
        image = dev.flash.dump()          # the whole flash as bytes

Failures raise brimlo_hid.Error or one of its subclasses, with the library's message.
Long operations (burn, verify, dump) release the GIL and can be interrupted with Ctrl+C.)";

struct ErrorClass {
    ErrorKind kind;
    const char* name;
    const char* doc;
};
constexpr ErrorClass kErrorClasses[] = {
    {ErrorKind::NotFound, "NotFoundError",
     "No device with the identifiers, path, port or serial asked for."},
    {ErrorKind::Busy, "BusyError",
     "The device is in use: another thread runs a burn, verify or dump on it, or another "
     "program or process holds it."},
    {ErrorKind::Device, "DeviceError",
     "A report exchange, the device or a file failed; the message says which and why."},
    {ErrorKind::Compare, "CompareError",
     "A burn read the flash back and it differs from the image: address, expected and found "
     "name the first difference."},
    {ErrorKind::Image, "ImageError",
     "The burn image cannot be used (unreadable, empty, too "
     "large)."},
    {ErrorKind::Usage, "UsageError",
     "The call cannot be made as asked (contradicting options, a closed device, a dump file "
     "that exists); also a ValueError."},
};

// The library's debug lines are for developers: shown only on request, as the command-line
// tool shows them with -v.
class DiscardDebug final : public hid::DebugSink {
  public:
    void Write(std::string_view) override {}
};
hid::DebugSink* const discardDebug = new DiscardDebug();  // may be written to until exit

std::map<ErrorKind, py::object>& ErrorTypes() {
    static auto* types = new std::map<ErrorKind, py::object>();  // lives as long as the module
    return *types;
}

void SetError(const ModuleError& error) {
    py::object type = ErrorTypes()[error.kind];
    py::object instance = type(error.message);
    if (error.difference) {
        instance.attr("address") = error.difference->firstDifference;
        instance.attr("expected") = error.difference->expected;
        instance.attr("found") = error.difference->found;
        instance.attr("differing_bytes") = error.difference->differingBytes;
    }
    PyErr_SetObject(type.ptr(), instance.ptr());
}

void RegisterErrors(py::module_& module) {
    py::handle base = PyErr_NewExceptionWithDoc(
        "brimlo_hid.Error", "Every failure the module reports; its message is the library's.",
        PyExc_Exception, nullptr);
    if (!base) {
        throw py::error_already_set();
    }
    module.add_object("Error", base);
    for (const ErrorClass& entry : kErrorClasses) {
        py::object bases = entry.kind == ErrorKind::Usage
                               ? py::object(py::make_tuple(base, py::handle(PyExc_ValueError)))
                               : py::reinterpret_borrow<py::object>(base);
        const std::string name = std::string("brimlo_hid.") + entry.name;
        PyObject* type = PyErr_NewExceptionWithDoc(name.c_str(), entry.doc, bases.ptr(), nullptr);
        if (type == nullptr) {
            throw py::error_already_set();
        }
        ErrorTypes()[entry.kind] = py::reinterpret_steal<py::object>(type);
        module.add_object(entry.name, ErrorTypes()[entry.kind]);
    }
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) {
                std::rethrow_exception(thrown);
            }
        } catch (const ModuleError& error) {
            SetError(error);
        }
    });
}

constexpr std::uint32_t kMaxBlockRegisters = 0x10000;

// A whole number argument within 0..max: TypeError for anything but an int (pybind11 refuses
// those), ValueError for one out of range.
std::uint32_t Number(const py::int_& value, std::uint32_t max, const char* name) {
    int overflow = 0;
    const long long number = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
    if (overflow != 0 || number < 0 || static_cast<unsigned long long>(number) > max) {
        char text[96];
        std::snprintf(text, sizeof text, "%s must be 0 to 0x%x", name, max);
        throw py::value_error(text);
    }
    return static_cast<std::uint32_t>(number);
}

// The library's texts name the command line's options: a script's are keywords.
std::string Renamed(std::string message) {
    for (const auto& [option, keyword] :
         {std::pair{"--sim-state", "sim_state"}, std::pair{"--sim-boards", "sim_boards"},
          std::pair{"--simulate", "simulate=True"}, std::pair{"--path", "path"},
          std::pair{"--port", "port"}, std::pair{"--serial", "serial"}}) {
        for (std::size_t at = message.find(option); at != std::string::npos;
             at = message.find(option)) {
            message.replace(at, std::strlen(option), keyword);
        }
    }
    return message;
}

[[noreturn]] void ThrowStackError(const session::StackError& error) {
    using Kind = session::StackError::Kind;
    const ErrorKind kind = error.kind == Kind::Usage      ? ErrorKind::Usage
                           : error.kind == Kind::NoDevice ? ErrorKind::NotFound
                           : error.kind == Kind::Busy     ? ErrorKind::Busy
                                                          : ErrorKind::Device;
    throw ModuleError{kind, Renamed(error.message), std::nullopt};
}

// The stacks open Devices use, one per set of options, so that Devices on the boards of one
// emulated station, or of one trace, share it.
using StackKey = std::tuple<bool, std::string, std::string, std::string, std::size_t>;
std::mutex stacksMutex;
std::map<StackKey, std::weak_ptr<session::PlatformStack>> stacks;

// Loading an emulated board may wait for another process: called without the GIL.
std::shared_ptr<session::PlatformStack> SharedStack(const session::StackOptions& options) {
    const StackKey key{options.simulate, options.simState, options.path, options.traceFile,
                       options.simBoards};
    const std::lock_guard lock(stacksMutex);
    if (auto stack = stacks[key].lock()) {
        return stack;
    }
    session::StackError error;
    std::shared_ptr<session::PlatformStack> stack = session::PlatformStack::Create(options, error);
    if (!stack) {
        ThrowStackError(error);
    }
    stacks[key] = stack;
    return stack;
}

session::StackOptions StackOptionsOf(bool simulate, const std::optional<std::string>& simState,
                                     const std::optional<std::string>& path,
                                     const std::optional<std::string>& trace,
                                     const py::int_& simBoards) {
    session::StackOptions options;
    options.simulate = simulate;
    options.simState = simState.value_or("");
    options.path = path.value_or("");
    options.traceFile = trace.value_or("");
    options.simBoards = Number(simBoards, 64, "sim_boards");
    if (const auto mistake = session::CheckStackOptions(options)) {
        ThrowStackError(*mistake);
    }
    return options;
}

std::uint16_t IdOr(const std::optional<py::int_>& id, std::uint16_t fallback, const char* name) {
    return id ? static_cast<std::uint16_t>(Number(*id, 0xFFFF, name)) : fallback;
}

struct Interface {
    std::string path;
    bool readable = false;
    std::string error;
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    std::string port;
    std::string serial;
    bool matches = false;
};

std::vector<Interface> List(const std::optional<py::int_>& vidArg,
                            const std::optional<py::int_>& pidArg, bool simulate,
                            const std::optional<std::string>& simState, const py::int_& simBoards) {
    const std::uint16_t vid = IdOr(vidArg, BRIMLO_DEFAULT_VID, "vid");
    const std::uint16_t pid = IdOr(pidArg, BRIMLO_DEFAULT_PID, "pid");
    const session::StackOptions options =
        StackOptionsOf(simulate, simState, std::nullopt, std::nullopt, simBoards);
    std::vector<hid::HidInterfaceInfo> found;
    {
        py::gil_scoped_release release;
        auto stack = SharedStack(options);
        std::string error;
        if (!hid::DescribeHidInterfaces(stack->Platform(), found, error)) {
            throw ModuleError{ErrorKind::Device, "Cannot list the HID interfaces: " + error,
                              std::nullopt};
        }
    }
    std::vector<Interface> list;
    for (const hid::HidInterfaceInfo& info : found) {
        list.push_back({info.path, info.described, info.error, info.vendorId, info.productId,
                        info.usagePage, info.usage, info.location.port, info.location.serial,
                        info.described && info.vendorId == vid && info.productId == pid});
    }
    return list;
}

// Opens the board the arguments choose, as the command-line tool's peripheral commands do:
// by path, else the boards with the identifiers narrowed by port and serial, the first of
// several with a warning.
Device Open(const std::optional<py::int_>& vidArg, const std::optional<py::int_>& pidArg,
            const std::optional<std::string>& path, const std::optional<std::string>& serial,
            const std::optional<std::string>& port, bool simulate,
            const std::optional<std::string>& simState, const std::optional<std::string>& trace,
            const py::int_& simBoards) {
    boards::BoardSelection selection{path.value_or(""), {{}, serial.value_or("")}};
    if (port) {
        selection.filter.ports.push_back(*port);
    }
    if (const auto mistake = boards::SelectionMistake(selection)) {
        throw ModuleError{ErrorKind::Usage, Renamed(*mistake), std::nullopt};
    }
    const session::StackOptions options =
        StackOptionsOf(simulate, simState, path, trace, simBoards);
    std::uint16_t vid = IdOr(vidArg, BRIMLO_DEFAULT_VID, "vid");
    std::uint16_t pid = IdOr(pidArg, BRIMLO_DEFAULT_PID, "pid");
    auto board = std::make_shared<OpenBoard>();
    std::string several;
    {
        py::gil_scoped_release release;
        board->stack = SharedStack(options);
        hid::HidPlatform* platform = &board->stack->Platform();
        if (path && !vidArg && !pidArg) {
            session::StackError error;
            const auto ids = board->stack->PathIdentity(error);
            if (!ids) {
                ThrowStackError(error);
            }
            std::tie(vid, pid) = *ids;
        }
        if (!path) {
            const boards::ChosenBoards chosen =
                boards::ChooseBoards(*platform, vid, pid, selection.filter);
            if (chosen.refusal) {
                throw ModuleError{ErrorKind::NotFound, Renamed(*chosen.refusal), std::nullopt};
            }
            if (chosen.boards.size() > 1) {
                several = Renamed(boards::FirstOfSeveralNote(chosen.boards));
            }
            if (!chosen.boards.empty()) {
                board->chosen = std::make_unique<session::SingleInterfacePlatform>(
                    *platform, chosen.boards.front().path);
                platform = board->chosen.get();
            }
        }
        board->device = std::make_unique<UvcHidDevice>(*platform);
        const OpenResult result = board->device->Open(vid, pid);
        if (result.status != OpenStatus::Opened) {
            const ErrorKind kind = result.heldElsewhere                    ? ErrorKind::Busy
                                   : result.status == OpenStatus::NotFound ? ErrorKind::NotFound
                                                                           : ErrorKind::Device;
            throw ModuleError{kind, boards::OpenFailureText(result), std::nullopt};
        }
    }
    if (!several.empty() && PyErr_WarnEx(PyExc_UserWarning, several.c_str(), 1) != 0) {
        throw py::error_already_set();
    }
    return Device(std::move(board));
}

// The GIL let go for one short call: Python's own calls, without pybind11's bookkeeping,
// which would cost as much as a register read of the emulated device.
class WithoutGil {
  public:
    WithoutGil() : state_(PyEval_SaveThread()) {}
    ~WithoutGil() { PyEval_RestoreThread(state_); }
    WithoutGil(const WithoutGil&) = delete;
    WithoutGil& operator=(const WithoutGil&) = delete;

  private:
    PyThreadState* state_;
};

// Runs `call` on the open device without the GIL; a failed call raises for `what`, a text or
// a callable that makes it (only then).
template <typename What, typename Call>
void Run(const Device& self, const What& what, Call call) {
    const auto board = self.Use();
    bool ok = false;
    {
        WithoutGil unlocked;
        ok = call(*board->device);
    }
    if (!ok) {
        if constexpr (std::is_invocable_v<What>) {
            ThrowDeviceError(*board->device, what());
        } else {
            ThrowDeviceError(*board->device, what);
        }
    }
}

py::bytes Bytes(std::span<const std::uint8_t> bytes) {
    return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::string ByteText(std::uint32_t value) {
    return "0x" + FormatByte(static_cast<std::uint8_t>(value));
}

// An IIC transfer's return code other than 0 (acknowledged) fails the call.
void CheckReturnCode(std::uint8_t code, const std::string& what) {
    if (code != 0) {
        throw ModuleError{
            ErrorKind::Device,
            what + ": the device answered return code " + ByteText(code) + " (0 is acknowledged)",
            std::nullopt};
    }
}

// reg_read and reg_write are the calls scripts make by the thousand: methods of their own,
// without pybind11's dispatcher, which costs more than a register read of the emulated device.
// `N` whole-number arguments by position or by the keywords `names`, each within its `max`.
template <std::size_t N>
void ParseNumbers(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                  const std::array<const char*, N>& names, const std::array<std::uint32_t, N>& max,
                  std::array<std::uint32_t, N>& out) {
    std::array<PyObject*, N> given{};
    const Py_ssize_t keywords = kwnames == nullptr ? 0 : PyTuple_GET_SIZE(kwnames);
    if (nargs > static_cast<Py_ssize_t>(N)) {
        std::string list;
        for (const char* name : names) {
            list += (list.empty() ? "" : ", ") + std::string(name);
        }
        throw py::type_error("takes " + std::to_string(N) + " argument" + (N == 1 ? "" : "s") +
                             ": " + list);
    }
    for (Py_ssize_t i = 0; i < nargs; ++i) {
        given[i] = args[i];
    }
    for (Py_ssize_t k = 0; k < keywords; ++k) {
        std::size_t i = 0;
        while (i < N &&
               PyUnicode_CompareWithASCIIString(PyTuple_GET_ITEM(kwnames, k), names[i]) != 0) {
            ++i;
        }
        if (i == N || given[i] != nullptr) {
            throw py::type_error("unexpected or repeated keyword argument '" +
                                 py::str(PyTuple_GET_ITEM(kwnames, k)).cast<std::string>() + "'");
        }
        given[i] = args[nargs + k];
    }
    for (std::size_t i = 0; i < N; ++i) {
        if (given[i] == nullptr) {
            throw py::type_error(std::string("missing argument '") + names[i] + "'");
        }
        if (!PyLong_Check(given[i])) {
            throw py::type_error(std::string(names[i]) + " must be an int");
        }
        out[i] = Number(py::reinterpret_borrow<py::int_>(given[i]), max[i], names[i]);
    }
}

// Calls `body` and turns what it throws into the Python exception; null then.
template <typename Body>
PyObject* Guarded(Body body) {
    try {
        return body();
    } catch (const ModuleError& error) {
        SetError(error);
    } catch (py::error_already_set& error) {
        error.restore();
    } catch (const py::builtin_exception& error) {
        error.set_error();
    } catch (const std::exception& error) {
        PyErr_SetString(PyExc_RuntimeError, error.what());
    }
    return nullptr;
}

// The Device in `self`, which the method's descriptor has checked is one: straight from the
// instance when it holds just the Device, as pybind11 lays out a class without bases.
const Device& Self(PyObject* self) {
    auto* instance = reinterpret_cast<py::detail::instance*>(self);
    if (instance->simple_layout) {
        return *static_cast<const Device*>(instance->simple_value_holder[0]);
    }
    return py::handle(self).cast<const Device&>();
}

PyObject* RegRead(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return Guarded([&] {
        std::array<std::uint32_t, 1> number{};
        ParseNumbers<1>(args, nargs, kwnames, {"addr"}, {0xFFFFFFFF}, number);
        const std::uint32_t address = number[0];
        std::uint32_t value = 0;
        Run(
            Self(self), [&] { return "register read at 0x" + FormatRegister(address); },
            [&](UvcHidDevice& d) { return d.RegisterAccess(kRegisterRead, address, value); });
        return PyLong_FromUnsignedLong(value);
    });
}

PyObject* RegWrite(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return Guarded([&] {
        std::array<std::uint32_t, 2> numbers{};
        ParseNumbers<2>(args, nargs, kwnames, {"addr", "value"}, {0xFFFFFFFF, 0xFFFFFFFF}, numbers);
        Run(
            Self(self), [&] { return "register write at 0x" + FormatRegister(numbers[0]); },
            [&](UvcHidDevice& d) {
                return d.RegisterAccess(kRegisterWrite, numbers[0], numbers[1]);
            });
        Py_RETURN_NONE;
    });
}

PyMethodDef fastMethods[] = {
    {"reg_read", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&RegRead)),
     METH_FASTCALL | METH_KEYWORDS,
     "reg_read($self, /, addr)\n--\n\nReads the 32-bit register at `addr`."},
    {"reg_write", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&RegWrite)),
     METH_FASTCALL | METH_KEYWORDS,
     "reg_write($self, /, addr, value)\n--\n\nWrites the 32-bit `value` to the register "
     "`addr`."},
};

void AddDevice(py::class_<Device>& device) {
    for (PyMethodDef& method : fastMethods) {
        PyObject* descriptor =
            PyDescr_NewMethod(reinterpret_cast<PyTypeObject*>(device.ptr()), &method);
        if (descriptor == nullptr) {
            throw py::error_already_set();
        }
        device.attr(method.ml_name) = py::reinterpret_steal<py::object>(descriptor);
    }
    device
        .def_property_readonly(
            "description", [](const Device& self) { return self.Use()->device->Description(); },
            "The dialog's description line: \"Device #0: VID: 0x1209  PID: 0x0001  ...\".")
        .def_property_readonly(
            "path",
            [](const Device& self) {
                return self.Use()->device->Record().devicePath.value_or(std::string());
            },
            "The interface's path, e.g. /dev/hidraw3.")
        .def_property_readonly("closed", &Device::Closed, "True once close() was called.")
        .def("close", &Device::Close,
             "Closes the device; later calls raise UsageError. Closing twice is harmless.")
        .def("__enter__", [](Device& self) -> Device& { return self; })
        .def("__exit__", [](Device& self, const py::object&, const py::object&,
                            const py::object&) { self.Close(); })
        .def("__repr__",
             [](const Device& self) {
                 return self.Closed()
                            ? std::string("<brimlo_hid.Device closed>")
                            : "<brimlo_hid.Device " + self.Use()->device->Description() + ">";
             })
        .def(
            "reg_read_block",
            [](const Device& self, const py::int_& addr, const py::int_& count) {
                const std::uint32_t address = Number(addr, 0xFFFFFFFF, "addr");
                // Bounded, since Ctrl+C cannot stop a block read once it runs.
                const std::uint32_t n = Number(count, kMaxBlockRegisters, "count");
                if (n == 0 || std::uint64_t{address} + 4ull * (n - 1) > 0xFFFFFFFFull) {
                    throw py::value_error(
                        "count must be at least 1 and stay within 32-bit "
                        "addresses");
                }
                std::vector<std::uint32_t> values;
                std::uint32_t at = address;
                Run(self, "register read", [&](UvcHidDevice& d) {
                    for (std::uint32_t i = 0; i < n; ++i, at += 4) {
                        std::uint32_t value = 0;
                        if (!d.RegisterAccess(kRegisterRead, at, value)) {
                            return false;
                        }
                        values.push_back(value);
                    }
                    return true;
                });
                return values;
            },
            py::arg("addr"), py::arg("count"),
            "Reads `count` registers (1 to 65536) from `addr` on, 4 bytes apart.")
        .def(
            "iic_read",
            [](const Device& self, const py::int_& dev, const py::bytes& sub,
               const py::int_& count) {
                const auto address = static_cast<std::uint8_t>(Number(dev, 0xFF, "dev"));
                const std::string written = sub;
                if (written.size() > 0xFF) {
                    throw py::value_error("sub holds at most 255 bytes");
                }
                const std::uint32_t n = Number(count, 0xFF, "count");
                if (n == 0) {
                    throw py::value_error("count must be 1 to 255");
                }
                std::vector<std::uint8_t> buffer(written.begin(), written.end());
                buffer.resize(std::max<std::size_t>(written.size(), n + 1));
                const std::string what = "IIC read from " + ByteText(address);
                Run(self, what, [&](UvcHidDevice& d) {
                    return d.IicAccess(kIicRead, address, static_cast<std::uint8_t>(written.size()),
                                       buffer, static_cast<std::uint8_t>(n));
                });
                CheckReturnCode(buffer[0], what);
                return Bytes(std::span(buffer).subspan(1, n));
            },
            py::arg("dev"), py::arg("sub") = py::bytes(), py::arg("count") = 1,
            "Writes `sub` (a sub-address, say) to the 8-bit IIC device address `dev`, then "
            "reads `count` bytes. DeviceError when the device does not acknowledge.")
        .def(
            "iic_write",
            [](const Device& self, const py::int_& dev, const py::bytes& data) {
                const auto address = static_cast<std::uint8_t>(Number(dev, 0xFF, "dev"));
                const std::string bytes = data;
                if (bytes.size() > 0xFF) {
                    throw py::value_error("data holds at most 255 bytes");
                }
                std::vector<std::uint8_t> buffer(bytes.begin(), bytes.end());
                buffer.resize(std::max<std::size_t>(bytes.size(), 1));
                const std::string what = "IIC write to " + ByteText(address);
                Run(self, what, [&](UvcHidDevice& d) {
                    return d.IicAccess(kIicWrite, address, static_cast<std::uint8_t>(bytes.size()),
                                       buffer, 0);
                });
                CheckReturnCode(buffer[0], what);
            },
            py::arg("dev"), py::arg("data"),
            "Writes `data` (at most 255 bytes) to the 8-bit IIC device address `dev`. "
            "DeviceError when the device does not acknowledge.")
        .def(
            "iic_scan",
            [](const Device& self) {
                const auto board = self.Use();
                std::vector<std::uint8_t> answered;
                std::optional<std::uint8_t> stoppedAt;
                {
                    py::gil_scoped_release release;
                    stoppedAt = ScanIicBus(*board->device, answered);
                }
                if (stoppedAt) {
                    ThrowDeviceError(*board->device,
                                     "IIC scan stopped at address " + ByteText(*stoppedAt));
                }
                return std::vector<int>(answered.begin(), answered.end());
            },
            "The 8-bit device addresses that acknowledge an empty write, 0x06 to 0xee.")
        .def(
            "gpio_dir",
            [](const Device& self, const py::int_& n, bool out) {
                const auto number = static_cast<std::uint8_t>(Number(n, 3, "n"));
                std::uint8_t direction = out ? 1 : 0;
                Run(self, "GPIO_" + std::to_string(number) + " direction", [&](UvcHidDevice& d) {
                    return d.GpioAccess(kGpioSetDirection, number, direction);
                });
            },
            py::arg("n"), py::arg("out"), "Makes GPIO_`n` (0 to 3) an output (True) or input.")
        .def(
            "gpio_set",
            [](const Device& self, const py::int_& n, const py::int_& value) {
                const auto number = static_cast<std::uint8_t>(Number(n, 3, "n"));
                auto byte = static_cast<std::uint8_t>(Number(value, 0xFF, "value"));
                Run(self, "GPIO_" + std::to_string(number) + " write",
                    [&](UvcHidDevice& d) { return d.GpioAccess(kGpioWrite, number, byte); });
            },
            py::arg("n"), py::arg("value"), "Writes `value` (0 to 255) to GPIO_`n`.")
        .def(
            "gpio_get",
            [](const Device& self, const py::int_& n) {
                const auto number = static_cast<std::uint8_t>(Number(n, 3, "n"));
                std::uint8_t value = 0;
                Run(self, "GPIO_" + std::to_string(number) + " read",
                    [&](UvcHidDevice& d) { return d.GpioAccess(kGpioRead, number, value); });
                return int{value};
            },
            py::arg("n"), "Reads GPIO_`n`.")
        .def(
            "hdmi",
            [](const Device& self) {
                HdmiInfo info{};
                Run(self, "HDMI information",
                    [&](UvcHidDevice& d) { return d.ReadHdmiInfo(info); });
                return Bytes(info);
            },
            "The 24 bytes of HDMI information, as the device gives them.")
        .def(
            "fw_version",
            [](const Device& self) {
                FirmwareVersion version{};
                Run(self, "firmware version",
                    [&](UvcHidDevice& d) { return ReadFirmwareVersion(d, version); });
                return FormatFirmwareVersion(version);
            },
            "The firmware version as the dialog shows it, e.g. \"01.00.04.10\".");
}

}  // namespace

std::shared_ptr<OpenBoard> Device::Use() const {
    if (!board_) {
        throw ModuleError{ErrorKind::Usage, "The device is closed: open it again.", std::nullopt};
    }
    return board_;
}

void ThrowDeviceError(const UvcHidDevice& device, const std::string& what) {
    const std::string cause = device.LastError();
    throw ModuleError{cause == kDeviceBusy ? ErrorKind::Busy : ErrorKind::Device,
                      what + " failed" + (cause.empty() ? std::string() : ": " + cause),
                      std::nullopt};
}

}  // namespace brimlo::python

PYBIND11_MODULE(brimlo_hid, module) {
    using namespace brimlo::python;
    module.doc() = kModuleDoc;
    RegisterErrors(module);

    py::class_<Interface>(module, "Interface", "One HID interface that list() found.")
        .def_readonly("path", &Interface::path)
        .def_readonly("readable", &Interface::readable,
                      "False when it could not be opened; error says why.")
        .def_readonly("error", &Interface::error)
        .def_readonly("vid", &Interface::vid)
        .def_readonly("pid", &Interface::pid)
        .def_property_readonly(
            "vid_pid",
            [](const Interface& self) {
                return brimlo::FormatUsbId(self.vid) + ":" + brimlo::FormatUsbId(self.pid);
            },
            "\"1209:0001\", as -d takes it.")
        .def_readonly("usage_page", &Interface::usagePage)
        .def_readonly("usage", &Interface::usage)
        .def_readonly("port", &Interface::port, "USB port path, e.g. 1-1.2; empty when unknown.")
        .def_readonly("serial", &Interface::serial, "Empty when the device has none.")
        .def_readonly("matches", &Interface::matches, "Whether it has the identifiers asked for.")
        .def("__repr__", [](const Interface& self) {
            return "<brimlo_hid.Interface " + self.path + " " + brimlo::FormatUsbId(self.vid) +
                   ":" + brimlo::FormatUsbId(self.pid) + (self.matches ? " matches>" : ">");
        });

    py::class_<Device> device(module, "Device",
                              "An open board. A context manager; also closed when collected.");
    AddDevice(device);
    AddFlash(module, device);

    module.def("list", &List, py::arg("vid") = py::none(), py::arg("pid") = py::none(),
               py::arg("simulate") = false, py::arg("sim_state") = py::none(),
               py::arg("sim_boards") = 0,
               "Every HID interface present, and whether it has the identifiers `vid` and "
               "`pid` (by default the board's).");
    module.def("open", &Open, py::arg("vid") = py::none(), py::arg("pid") = py::none(),
               py::arg("path") = py::none(), py::arg("serial") = py::none(),
               py::arg("port") = py::none(), py::arg("simulate") = false,
               py::arg("sim_state") = py::none(), py::arg("trace") = py::none(),
               py::arg("sim_boards") = 0,
               "Opens a board: the one at `path` (then without `port` and `serial`), or the "
               "first with `vid`:`pid` (by default the board's) in USB port `port` whose serial "
               "starts with `serial`, with a UserWarning when several match. simulate=True "
               "opens the emulated board kept in `sim_state` (sim_boards=N: N boards, each in "
               "its port 1-K). `trace` names a file that gets every report exchanged, one JSON "
               "line each.");
    brimlo::hid::SetDebugSink(discardDebug);
    module.def(
        "set_debug",
        [](bool enabled) { brimlo::hid::SetDebugSink(enabled ? nullptr : discardDebug); },
        py::arg("enabled"),
        "Writes the library's debug lines (each exchange that fails, each flash step) to "
        "standard error, as the command-line tool does with -v; off by default.");
    module.attr("DEFAULT_VID") = BRIMLO_DEFAULT_VID;
    module.attr("DEFAULT_PID") = BRIMLO_DEFAULT_PID;
}
