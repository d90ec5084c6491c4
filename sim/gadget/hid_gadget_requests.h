#pragma once
// What a USB HID function answers on its control pipe, decided apart from the gadget file
// system that carries the bytes, so that the rules can be tested on the host.
//
// Only the interface's requests reach a function: GET_DESCRIPTOR for the report (and HID)
// descriptor, the class requests SET_IDLE, SET_REPORT and GET_REPORT. Every report request
// becomes one exchange on a hid::Transport (the emulated device): SET_REPORT(Output) an output
// report, GET_REPORT(Input) an input report, with the report ID from wValue's low byte and,
// for GET_REPORT, wLength as the requested length.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "hid/transport.h"

namespace brimlo::kernel_test {

// The eight bytes of a setup packet, fields in host order.
struct SetupPacket {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;

    bool DirectionIn() const { return (requestType & 0x80) != 0; }
};

inline constexpr std::uint8_t kRequestGetDescriptor = 0x06;
inline constexpr std::uint8_t kHidGetReport = 0x01;
inline constexpr std::uint8_t kHidGetIdle = 0x02;
inline constexpr std::uint8_t kHidSetReport = 0x09;
inline constexpr std::uint8_t kHidSetIdle = 0x0A;
inline constexpr std::uint8_t kDescriptorTypeHid = 0x21;
inline constexpr std::uint8_t kDescriptorTypeReport = 0x22;
inline constexpr std::uint8_t kReportTypeInput = 1;
inline constexpr std::uint8_t kReportTypeOutput = 2;

// bmRequestType values: direction, type (standard 0, class 1) and recipient (interface 1).
inline constexpr std::uint8_t kStandardInterfaceIn = 0x81;
inline constexpr std::uint8_t kClassInterfaceIn = 0xA1;
inline constexpr std::uint8_t kClassInterfaceOut = 0x21;

// The 9-byte HID class descriptor that follows the interface descriptor, naming one report
// descriptor of `reportDescriptorLength` bytes.
std::vector<std::uint8_t> BuildHidClassDescriptor(std::uint16_t reportDescriptorLength);

// How the function answers one setup packet.
struct SetupDecision {
    enum class Action {
        kStall,        // refuse: the host's request ends with a stall (EPIPE)
        kAcknowledge,  // no data stage; complete the status stage
        kSend,         // IN data stage with `data`
        kReceive,      // OUT data stage of wLength bytes, then call HidGadgetRequests::Received
    };
    Action action = Action::kStall;
    std::vector<std::uint8_t> data;
    std::string note;  // what was done or why it was refused, for the wire log
};

class HidGadgetRequests {
  public:
    // `device` and `reportDescriptor` must outlive this object. `outputLengths` maps report ID
    // to the output report's length (report ID byte included), 0 for IDs the device lacks.
    HidGadgetRequests(hid::Transport& device, std::span<const std::uint8_t> reportDescriptor,
                      std::vector<std::uint16_t> outputLengths, std::size_t largestInputReport);

    SetupDecision Setup(const SetupPacket& setup);

    // The OUT data stage of a SET_REPORT that Setup accepted. The status stage is already
    // complete when the bytes arrive, so a refusal can no longer stall the request; it is
    // reported in the returned note and counted in RefusedAfterData().
    std::string Received(const SetupPacket& setup, std::span<const std::uint8_t> data);

    // The output report handed to the device for the bytes a SET_REPORT carried. A numbered
    // report (ID 1 to 255) carries its ID as the first data byte, as usbhid sends it; a report
    // of ID 0 carries none, and the ID byte is put in front. Empty when a numbered report's
    // first byte is not its ID.
    static std::vector<std::uint8_t> OutputReportFromWire(std::uint8_t reportId,
                                                          std::span<const std::uint8_t> data);

    std::size_t RefusedAfterData() const { return refusedAfterData_; }

    // Answers report ID 0 itself, for probing what the host stack does with it (the emulated
    // device has no such report): SET_REPORT(Output) of any length up to 4096 is taken and
    // kept as it came off the wire, GET_REPORT(Input) sends the kept bytes back, cut to wLength.
    void EchoReportIdZero() { echoReportIdZero_ = true; }

  private:
    SetupDecision GetDescriptor(const SetupPacket& setup);
    SetupDecision GetReport(const SetupPacket& setup);
    SetupDecision SetReport(const SetupPacket& setup);

    hid::Transport& device_;
    std::span<const std::uint8_t> reportDescriptor_;
    std::vector<std::uint16_t> outputLengths_;
    std::vector<std::uint8_t> inputBuffer_;
    std::size_t refusedAfterData_ = 0;
    bool echoReportIdZero_ = false;
    std::vector<std::uint8_t> echo_;
};

}  // namespace brimlo::kernel_test
