#pragma once
// A wire trace at the transport boundary: every exchange as one JSON line,
//   {"op":"set_output","report_id":2,"length":64,"data":"020a00...","ok":true}
//   {"op":"get_input","report_id":2,"requested_length":576,"data":"...","ok":true}
// where data is lower-case hex of the report as sent, or of the reply from byte 0.

#include <cstdio>
#include <memory>
#include <mutex>

#include "hid/hid_platform.h"

namespace brimlo::hid {

// Writes trace lines to a stdio stream it does not own; boards worked on at once share it, so
// each line is written whole under a lock.
class WireTrace {
  public:
    explicit WireTrace(std::FILE* out) : out_(out) {}
    void SetOutput(std::span<const std::uint8_t> report, bool ok);
    void GetInput(std::uint8_t reportId, std::uint32_t requestedLength,
                  std::span<const std::uint8_t> reply, bool ok);

  private:
    void WriteHex(std::span<const std::uint8_t> bytes);
    std::FILE* out_;
    std::mutex mutex_;
};

// A connection that forwards to another and traces each report exchange.
class TracingConnection final : public HidConnection {
  public:
    TracingConnection(std::unique_ptr<HidConnection> inner, WireTrace& trace)
        : inner_(std::move(inner)), trace_(trace) {}

    bool SendOutputReport(std::span<const std::uint8_t> report) override;
    std::optional<std::size_t> GetInputReport(std::uint8_t reportId, std::uint32_t requestedLength,
                                              std::span<std::uint8_t> buffer) override;
    std::string LastError() const override { return inner_->LastError(); }
    bool GetAttributes(HiddAttributes& attributes) override {
        return inner_->GetAttributes(attributes);
    }
    bool GetReportDescriptor(std::vector<std::uint8_t>& descriptor) override {
        return inner_->GetReportDescriptor(descriptor);
    }
    bool GetCapabilities(HidPreparsedData& data, std::string& error) override {
        return inner_->GetCapabilities(data, error);
    }

  private:
    std::unique_ptr<HidConnection> inner_;
    WireTrace& trace_;
};

// A platform whose connections are all traced.
class TracingPlatform final : public HidPlatform {
  public:
    TracingPlatform(HidPlatform& inner, WireTrace& trace) : inner_(inner), trace_(trace) {}

    std::unique_ptr<HidInterfaceSet> PresentInterfaces(std::string& error) override {
        return inner_.PresentInterfaces(error);
    }
    BoardLocation Locate(const std::string& path) override { return inner_.Locate(path); }
    std::unique_ptr<HidConnection> Open(const std::string& path, const HidOpenOptions& options,
                                        std::string& error) override;

  private:
    HidPlatform& inner_;
    WireTrace& trace_;
};

}  // namespace brimlo::hid
