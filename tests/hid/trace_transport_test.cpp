#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "fake_hid_platform.h"
#include "hid/trace_transport.h"

namespace brimlo::hid {
namespace {

std::string ReadAll(std::FILE* file) {
    std::rewind(file);
    std::string text;
    char chunk[256];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, n);
    }
    return text;
}

TEST(WireTrace, EachExchangeIsOneJsonLineWithTheBytesAsTheyTravelled) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    WireTrace trace(file);
    testing::FakeHidPlatform fake;
    fake.interfaces = {{"dev", 1, 1, {}}};
    TracingPlatform platform(fake, trace);
    std::string error;
    auto connection = platform.Open("dev", {}, error);
    ASSERT_NE(connection, nullptr);

    const std::uint8_t report[] = {0x02, 0x0A, 0x00, 0xFF};
    EXPECT_TRUE(connection->SendOutputReport(report));
    fake.log.replies.push_back({0x78, 0x56, 0x34, 0x12});
    std::uint8_t buffer[3] = {};
    ASSERT_EQ(connection->GetInputReport(2, 0x240, buffer), 3u);
    EXPECT_FALSE(connection->GetInputReport(2, 0x240, buffer));  // nothing queued
    fake.log.unplugged = true;
    EXPECT_FALSE(connection->SendOutputReport(report));

    EXPECT_EQ(ReadAll(file),
              "{\"op\":\"set_output\",\"report_id\":2,\"length\":4,\"data\":\"020a00ff\","
              "\"ok\":true}\n"
              "{\"op\":\"get_input\",\"report_id\":2,\"requested_length\":576,"
              "\"data\":\"785634\",\"ok\":true}\n"
              "{\"op\":\"get_input\",\"report_id\":2,\"requested_length\":576,"
              "\"data\":\"\",\"ok\":false}\n"
              "{\"op\":\"set_output\",\"report_id\":2,\"length\":4,\"data\":\"020a00ff\","
              "\"ok\":false}\n");
    std::fclose(file);
}

// A stack that hands out no report descriptor, only its own parser's capabilities.
class CapsOnlyConnection final : public HidConnection {
  public:
    bool SendOutputReport(std::span<const std::uint8_t>) override { return false; }
    std::optional<std::size_t> GetInputReport(std::uint8_t, std::uint32_t,
                                              std::span<std::uint8_t>) override {
        return std::nullopt;
    }
    std::string LastError() const override { return "no descriptor here"; }
    bool GetAttributes(HiddAttributes&) override { return true; }
    bool GetReportDescriptor(std::vector<std::uint8_t>&) override { return false; }
    bool GetCapabilities(HidPreparsedData& data, std::string&) override {
        data.caps.UsagePage = 0xFF00;
        data.caps.InputReportByteLength = 64;
        return true;
    }
};

class CapsOnlyPlatform final : public HidPlatform {
  public:
    std::unique_ptr<HidInterfaceSet> PresentInterfaces(std::string&) override { return nullptr; }
    std::unique_ptr<HidConnection> Open(const std::string&, const HidOpenOptions&,
                                        std::string&) override {
        return std::make_unique<CapsOnlyConnection>();
    }
};

TEST(TracingConnection, PassesOnCapabilitiesAndDescriptorFailuresOfTheStackBelow) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    WireTrace trace(file);
    CapsOnlyPlatform capsOnly;
    TracingPlatform traced(capsOnly, trace);
    std::string error;
    auto connection = traced.Open("dev", {}, error);
    ASSERT_NE(connection, nullptr);
    HidPreparsedData data;
    ASSERT_TRUE(connection->GetCapabilities(data, error)) << error;
    EXPECT_EQ(data.caps.UsagePage, 0xFF00);
    EXPECT_EQ(data.caps.InputReportByteLength, 64);

    // A stack that gives descriptors gets its capabilities parsed from them, through the trace.
    testing::FakeHidPlatform fake;
    fake.interfaces = {{"good", 1, 1, testing::VendorDescriptor({2}, {64}, {576})},
                       {"bad", 1, 1, {0x05}}};
    TracingPlatform tracedFake(fake, trace);
    auto good = tracedFake.Open("good", {}, error);
    ASSERT_NE(good, nullptr);
    HidPreparsedData parsed;
    ASSERT_TRUE(good->GetCapabilities(parsed, error)) << error;
    EXPECT_EQ(parsed.caps.InputReportByteLength, 576);
    EXPECT_EQ(parsed.caps.OutputReportByteLength, 64);
    auto bad = tracedFake.Open("bad", {}, error);
    ASSERT_NE(bad, nullptr);
    EXPECT_FALSE(bad->GetCapabilities(parsed, error));
    EXPECT_NE(error.find("report descriptor rejected at byte 0"), std::string::npos) << error;
    std::fclose(file);
}

}  // namespace
}  // namespace brimlo::hid
