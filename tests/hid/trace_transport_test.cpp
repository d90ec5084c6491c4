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

}  // namespace
}  // namespace brimlo::hid
