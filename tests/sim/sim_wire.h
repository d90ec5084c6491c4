#pragma once
// Raw reports for driving the emulated device in tests, laid out by hand byte by byte as the
// wire carries them, so that the device is checked against the protocol and not against the
// host's own framing code.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/sim_connection.h"
#include "sim/sim_device.h"

namespace brimlo::sim::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Le32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

inline std::uint32_t ReadLe32(std::span<const std::uint8_t> bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

inline Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Bytes that differ from address to address and are never 0x00 or 0xFF, so that neither an
// erase nor a program of zeros can pass for them.
inline Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 7 + seed + (i >> 8)) | 0x11);
    }
    return bytes;
}

inline std::shared_ptr<SimDevice> MakeDevice(const SimConfig& config = {}) {
    std::string error;
    std::shared_ptr<SimDevice> device = SimDevice::Create(config, error);
    if (!device) {
        throw std::runtime_error(error);
    }
    return device;
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
    std::size_t Chunk() const { return Config().outputReportLengths[kFlashChannel] - 4u; }

    // A command report: ID, length byte, code, payload, zeros up to the channel's length.
    Bytes Command(std::size_t channel, std::uint8_t lengthByte, std::uint8_t code,
                  const Bytes& payload) const {
        Bytes report = Concat({Id(channel), lengthByte, code}, payload);
        report.resize(Config().outputReportLengths[channel]);
        return report;
    }

    bool Send(const Bytes& report) { return connection_.SendOutputReport(report); }

    // An input read of `channel` asking for `requested`, placed in a buffer of the channel's
    // input length.
    std::optional<Bytes> Read(std::size_t channel, std::uint32_t requested) {
        Bytes buffer(Config().inputReportLengths[channel], 0xEE);
        const auto placed = connection_.GetInputReport(Id(channel), requested, buffer);
        if (!placed) {
            return std::nullopt;
        }
        buffer.resize(*placed);
        return buffer;
    }

    // A command read: the code travels in the requested length's second byte.
    std::optional<Bytes> ReadCode(std::size_t channel, std::uint8_t code) {
        return Read(channel, Config().inputReportLengths[channel] | code << 8);
    }

    // Sends a command, then reads the answer that `readCode` asks for.
    std::optional<Bytes> Ask(std::size_t channel, std::uint8_t lengthByte, std::uint8_t code,
                             const Bytes& payload, std::uint8_t readCode) {
        if (!Send(Command(channel, lengthByte, code, payload))) {
            return std::nullopt;
        }
        return ReadCode(channel, readCode);
    }
    static std::optional<std::uint8_t> First(const std::optional<Bytes>& reply) {
        return reply ? std::optional(reply->at(0)) : std::nullopt;
    }

    bool WriteRegister(std::uint32_t address, std::uint32_t value) {
        return Send(Command(kCommandChannel, 10, 0, Concat(Le32(address), Le32(value))));
    }
    std::optional<std::uint32_t> ReadRegister(std::uint32_t address) {
        const auto reply = Ask(kCommandChannel, 6, 1, Le32(address), 2);
        return reply ? std::optional(ReadLe32(*reply)) : std::nullopt;
    }
    // The IIC write's return code.
    std::optional<std::uint8_t> IicWrite(std::uint8_t address, const Bytes& data) {
        const auto n = static_cast<std::uint8_t>(data.size());
        return First(Ask(kIicChannel, 4 + n, 6, Concat({address, n}, data), 6));
    }
    // The IIC read's return code, then the bytes read.
    std::optional<Bytes> IicRead(std::uint8_t address, const Bytes& written, std::uint8_t count) {
        const auto n = static_cast<std::uint8_t>(written.size());
        auto reply = Ask(kIicChannel, 5 + n, 7, Concat(Concat({address, n}, written), {count}), 7);
        if (reply) {
            reply->resize(count + 1u);
        }
        return reply;
    }
    bool GpioSet(std::uint8_t line, std::uint8_t output) {
        return Send(Command(kCommandChannel, 4, 8, {line, output}));
    }
    bool GpioWrite(std::uint8_t line, std::uint8_t value) {
        return Send(Command(kCommandChannel, 4, 9, {line, value}));
    }
    std::optional<std::uint8_t> GpioRead(std::uint8_t line) {
        return First(Ask(kCommandChannel, 3, 10, {line}, 10));
    }

    // REPORT_FLASH_ACCESS_MODE, then REPORT_FLASH_SET_LEN.
    bool SetRegion(std::uint8_t mode, std::uint32_t address, std::uint32_t length) {
        return Send(Command(kCommandChannel, 7, 3, Concat({mode}, Le32(address)))) &&
               Send(Command(kCommandChannel, 6, 5, Le32(length)));
    }

    // One flash data report: ID, three zero bytes, the chunk, zero padding.
    bool SendData(std::span<const std::uint8_t> chunk) {
        Bytes report = Concat({Id(kFlashChannel), 0, 0, 0}, Bytes(chunk.begin(), chunk.end()));
        report.resize(Config().outputReportLengths[kFlashChannel]);
        return Send(report);
    }

    // Sets up a region of `announced` bytes (all of `data` by default) and streams `data`.
    bool Burn(std::uint8_t mode, std::uint32_t address, std::span<const std::uint8_t> data,
              std::optional<std::uint32_t> announced = {}) {
        if (!SetRegion(mode, address, announced.value_or(data.size()))) {
            return false;
        }
        for (std::size_t at = 0; at < data.size(); at += Chunk()) {
            if (!SendData(data.subspan(at, std::min(Chunk(), data.size() - at)))) {
                return false;
            }
        }
        return true;
    }

    // Sets up the region and reads it, one chunk per input report.
    std::optional<Bytes> Dump(std::uint8_t mode, std::uint32_t address, std::uint32_t length) {
        Bytes bytes;
        if (!SetRegion(mode, address, length)) {
            return std::nullopt;
        }
        while (bytes.size() < length) {
            const auto reply = Read(kFlashChannel, Config().inputReportLengths[kFlashChannel]);
            if (!reply) {
                return std::nullopt;
            }
            bytes.insert(bytes.end(), reply->begin(),
                         reply->begin() + std::min(Chunk(), length - bytes.size()));
        }
        return bytes;
    }

  private:
    std::shared_ptr<SimDevice> device_;
    SimConnection connection_;
};

// A fresh directory under the system's temporary directory, removed with everything in it.
struct TempDir {
    static std::filesystem::path Make() {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::filesystem::path path =
                std::filesystem::temp_directory_path() / ("brimlo-sim-" + std::to_string(random()));
            if (std::filesystem::create_directory(path)) {
                return path;
            }
        }
        throw std::runtime_error("cannot create a temporary directory");
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    static Bytes Read(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    const std::filesystem::path path = Make();
};

}  // namespace brimlo::sim::testing
