#pragma once
// Raw reports for driving the emulated device in tests, laid out by hand byte by byte as the
// wire carries them, so that the device is checked against the protocol and not against the
// host's own framing code.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/sim_connection.h"
#include "sim/sim_device.h"

namespace brimlo::sim::testing {

inline std::vector<std::uint8_t> Le32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

inline std::uint32_t ReadLe32(std::span<const std::uint8_t> bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Bytes that differ from address to address and are never 0x00 or 0xFF, so that neither an
// erase nor a program of zeros can pass for them.
inline std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 7 + seed + (i >> 8)) | 0x11);
    }
    return bytes;
}

// A connection to a device with helpers that each build one report by hand.
class Wire {
  public:
    explicit Wire(std::shared_ptr<SimDevice> device)
        : device_(std::move(device)), connection_(device_) {}

    SimDevice& Device() { return *device_; }
    SimConnection& Connection() { return connection_; }
    const SimConfig& Config() const { return device_->Config(); }
    std::uint8_t Id(std::size_t channel) const { return Config().reportIds[channel]; }

    // A command report: ID, length byte, code, payload, zeros up to the channel's length.
    std::vector<std::uint8_t> Command(std::size_t channel, std::uint8_t lengthByte,
                                      std::uint8_t code, std::vector<std::uint8_t> payload) const {
        std::vector<std::uint8_t> report(Config().outputReportLengths[channel], 0);
        report[0] = Id(channel);
        report[1] = lengthByte;
        report[2] = code;
        std::copy(payload.begin(), payload.end(), report.begin() + 3);
        return report;
    }

    bool Send(const std::vector<std::uint8_t>& report) {
        return connection_.SendOutputReport(report);
    }

    // An input read of `channel` asking for `requested`; the reply as placed in a buffer of the
    // channel's input length.
    std::optional<std::vector<std::uint8_t>> Read(std::size_t channel, std::uint32_t requested) {
        std::vector<std::uint8_t> buffer(Config().inputReportLengths[channel], 0xEE);
        buffer[0] = Id(channel);
        const std::optional<std::size_t> placed =
            connection_.GetInputReport(Id(channel), requested, buffer);
        if (!placed) {
            return std::nullopt;
        }
        buffer.resize(*placed);
        return buffer;
    }

    // A command read: the code travels in the requested length's second byte.
    std::optional<std::vector<std::uint8_t>> ReadCode(std::size_t channel, std::uint8_t code) {
        return Read(channel, Config().inputReportLengths[channel] | code << 8);
    }

    bool SetRegion(std::uint8_t mode, std::uint32_t address, std::uint32_t length) {
        std::vector<std::uint8_t> modePayload{mode};
        const std::vector<std::uint8_t> addressBytes = Le32(address);
        modePayload.insert(modePayload.end(), addressBytes.begin(), addressBytes.end());
        return Send(Command(1, 7, 3, modePayload)) && Send(Command(1, 6, 5, Le32(length)));
    }

    std::size_t Chunk() const { return Config().outputReportLengths[0] - 4u; }

    // One flash data report: ID, three zero bytes, the chunk, zero padding.
    bool SendData(std::span<const std::uint8_t> chunk) {
        std::vector<std::uint8_t> report(Config().outputReportLengths[0], 0);
        report[0] = Id(0);
        std::copy(chunk.begin(), chunk.end(), report.begin() + 4);
        return Send(report);
    }

    // Streams `data` in chunks of the flash data report.
    bool WriteStream(std::span<const std::uint8_t> data) {
        for (std::size_t at = 0; at < data.size(); at += Chunk()) {
            if (!SendData(data.subspan(at, std::min(Chunk(), data.size() - at)))) {
                return false;
            }
        }
        return true;
    }

    // Reads `length` bytes of the set-up region, one chunk per input report.
    std::optional<std::vector<std::uint8_t>> ReadStream(std::size_t length) {
        std::vector<std::uint8_t> bytes;
        while (bytes.size() < length) {
            const auto reply = Read(0, Config().inputReportLengths[0]);
            if (!reply) {
                return std::nullopt;
            }
            const std::size_t take = std::min(Chunk(), length - bytes.size());
            bytes.insert(bytes.end(), reply->begin(), reply->begin() + take);
        }
        return bytes;
    }

    bool Burn(std::uint8_t mode, std::uint32_t address, std::span<const std::uint8_t> data) {
        return SetRegion(mode, address, static_cast<std::uint32_t>(data.size())) &&
               WriteStream(data);
    }

    std::optional<std::vector<std::uint8_t>> Dump(std::uint8_t mode, std::uint32_t address,
                                                  std::uint32_t length) {
        if (!SetRegion(mode, address, length)) {
            return std::nullopt;
        }
        return ReadStream(length);
    }

  private:
    std::shared_ptr<SimDevice> device_;
    SimConnection connection_;
};

inline std::shared_ptr<SimDevice> MakeDevice(const SimConfig& config = {}) {
    std::string error;
    std::shared_ptr<SimDevice> device = SimDevice::Create(config, error);
    if (!device) {
        throw std::runtime_error(error);
    }
    return device;
}

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "brimlo-sim-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace brimlo::sim::testing
