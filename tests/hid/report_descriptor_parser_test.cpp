#include "hid/report_descriptor_parser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace brimlo::hid {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::size_t kIn = ReportTypeIndex(HidReportType::Input);
const std::size_t kOut = ReportTypeIndex(HidReportType::Output);

// Wraps items in Usage Page (Generic Desktop), Usage (0), Collection (Application) ... End.
Bytes InApplication(Bytes body) {
    body.insert(body.begin(), {0x05, 0x01, 0x09, 0x00, 0xA1, 0x01});
    body.push_back(0xC0);
    return body;
}

HidPreparsedData ParseOk(const Bytes& descriptor) {
    HidPreparsedData data;
    ReportDescriptorError error;
    EXPECT_TRUE(ParseReportDescriptor(descriptor, data, error))
        << "offset " << error.offset << ": " << error.message;
    return data;
}

// The boot keyboard example from the appendix of the USB HID class definition.
const Bytes kKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,              // Generic Desktop, Keyboard, Application
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,              // Key codes E0..E7 (modifiers)
    0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08,  // 0..1, 8 x 1 bit
    0x81, 0x02,                                      // Input (Data, Var, Abs)
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,              // reserved byte: Input (Const)
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08,              // 5 x 1 bit, LED page
    0x19, 0x01, 0x29, 0x05, 0x91, 0x02,              // LEDs 1..5: Output (Data, Var, Abs)
    0x95, 0x01, 0x75, 0x03, 0x91, 0x01,              // LED padding: Output (Const)
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65,  // 6 x 8 bits, 0..101
    0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00,  // key codes 0..101: Input (Data, Array)
    0xC0};

// The shape of our capture device: vendor page, reports 1, 2, 3 in both directions.
const Bytes kVendorDevice = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,        // page FF00, usage 1, Application
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,        // 0..255, 8 bits
    0x85, 0x01, 0x96, 0x03, 0x10,                    // ID 1, 4099 bytes
    0x09, 0x01, 0x91, 0x02, 0x09, 0x01, 0x81, 0x02,  // Output, Input
    0x85, 0x02, 0x95, 0x3F,                          // ID 2, 63 bytes
    0x09, 0x02, 0x91, 0x02, 0x09, 0x02, 0x81, 0x02,  //
    0x85, 0x03, 0x95, 0x3F,                          // ID 3, 63 bytes
    0x09, 0x03, 0x91, 0x02, 0x09, 0x03, 0x81, 0x02,  //
    0xC0};

TEST(ReportDescriptorParser, BootKeyboardMatchesWindowsCaps) {
    const HidPreparsedData data = ParseOk(kKeyboard);
    const HidpCaps& caps = data.caps;
    EXPECT_EQ(caps.Usage, 0x06);
    EXPECT_EQ(caps.InputReportByteLength, 9);
    EXPECT_EQ(caps.OutputReportByteLength, 2);
    EXPECT_EQ(caps.FeatureReportByteLength, 0);
    EXPECT_EQ(caps.NumberInputDataIndices, 8 + 102);

    ASSERT_EQ(data.buttonCaps[kIn].size(), 2u);
    const HidpButtonCaps& modifiers = data.buttonCaps[kIn][0];
    EXPECT_TRUE(modifiers.IsRange);
    EXPECT_EQ(modifiers.UsageMin, 0xE0);
    EXPECT_EQ(modifiers.UsageMax, 0xE7);
    EXPECT_EQ(modifiers.DataIndexMax, 7);
    EXPECT_EQ(modifiers.BitField, 0x02);
    const HidpButtonCaps& keys = data.buttonCaps[kIn][1];
    EXPECT_EQ(keys.UsageMax, 0x65);
    EXPECT_EQ(keys.DataIndexMin, 8);
    EXPECT_EQ(keys.DataIndexMax, 109);
    EXPECT_EQ(data.buttonCaps[kOut].at(0).UsagePage, 0x08);

    // Eight modifier bits plus six key slots.
    EXPECT_EQ(MaxUsageListLength(data, HidReportType::Input, 0), 14u);
    EXPECT_EQ(MaxUsageListLength(data, HidReportType::Input, 0x08), 0u);
    EXPECT_EQ(MaxUsageListLength(data, HidReportType::Output, 0x08), 5u);
}

TEST(ReportDescriptorParser, VendorDeviceGivesThreeChannelsPerDirection) {
    const HidPreparsedData data = ParseOk(kVendorDevice);
    EXPECT_EQ(data.caps.UsagePage, 0xFF00);
    EXPECT_EQ(data.caps.InputReportByteLength, 4100);
    EXPECT_EQ(data.caps.OutputReportByteLength, 4100);
    const std::uint16_t counts[] = {4099, 63, 63};
    for (std::size_t type : {kIn, kOut}) {
        ASSERT_EQ(data.valueCaps[type].size(), 3u);
        EXPECT_TRUE(data.buttonCaps[type].empty());
        for (std::size_t i = 0; i < 3; ++i) {
            const HidpValueCaps& cap = data.valueCaps[type][i];
            EXPECT_EQ(cap.ReportID, i + 1);
            EXPECT_EQ(cap.Usage, i + 1);
            EXPECT_EQ(cap.ReportCount, counts[i]);
            EXPECT_EQ(cap.BitSize, 8);
            EXPECT_EQ(cap.LogicalMax, 255);
            EXPECT_EQ(cap.DataIndexMin, i);
            EXPECT_EQ(cap.LinkUsagePage, 0xFF00);
        }
    }
}

TEST(ReportDescriptorParser, ReportLengthsTakeLongestReportPlusIdByte) {
    // ID 1: 1 byte of input; ID 2: 10 bits of input, which take 2 bytes, and one 8-bit feature
    // field.
    const HidPreparsedData data = ParseOk(InApplication({
        0x09, 0x01, 0x85, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02,  //
        0x09, 0x02, 0x85, 0x02, 0x75, 0x0A, 0x95, 0x01, 0x81, 0x02,  //
        0x09, 0x03, 0x75, 0x08, 0xB1, 0x02,                          //
    }));
    EXPECT_EQ(data.caps.InputReportByteLength, 3);
    EXPECT_EQ(data.caps.FeatureReportByteLength, 2);
    EXPECT_EQ(data.valueCaps[ReportTypeIndex(HidReportType::Feature)].at(0).ReportID, 2);
}

TEST(ReportDescriptorParser, GlobalAndLocalItemScopes) {
    const HidPreparsedData data = ParseOk(InApplication({
        0x75, 0x08, 0x95, 0x01, 0x15, 0xFF, 0x27, 0xFF, 0xFF, 0xFF, 0xFF,  // -1..-1 (4 bytes)
        0xA4, 0x75, 0x10, 0x16, 0x00, 0x80, 0x26, 0xFF, 0x7F,              // Push; 16 bits
        0x79, 0x04, 0x0B, 0xE9, 0x00, 0x0C, 0x00, 0x81, 0x02,  // String 4, Consumer E9: Input
        0xB4, 0x81, 0x02,                          // Pop; Input without a usage: padding
        0x0B, 0x05, 0x00, 0x00, 0x00, 0x81, 0x42,  // page-0 usage, Input with a null state
        0x79, 0x05, 0x09, 0x06,                    // String Index 5, usage 6
        0x49, 0x02, 0x59, 0x03,                    // Designator Min 2, Max 3
        0x55, 0x0E, 0x66, 0x01, 0x10, 0x81, 0x02,  // unit exponent 0x0E, unit 0x1001: Input
    }));
    const auto& values = data.valueCaps[kIn];
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0].UsagePage, 0x0C);  // the extended usage carries its own page
    EXPECT_EQ(values[0].BitSize, 16);
    EXPECT_EQ(values[0].LogicalMin, -32768);
    EXPECT_EQ(values[0].StringMin, 4);
    EXPECT_EQ(values[1].UsagePage, 0x01);  // a 4-byte usage of page 0 takes the current page
    EXPECT_EQ(values[1].BitSize, 8);       // restored by Pop
    EXPECT_EQ(values[1].LogicalMin, -1);
    EXPECT_EQ(values[1].LogicalMax, -1);
    EXPECT_TRUE(values[1].HasNull);
    EXPECT_EQ(values[1].StringMin, 0);  // locals end with their main item
    EXPECT_EQ(values[2].StringMax, 5);
    EXPECT_FALSE(values[2].IsStringRange);
    EXPECT_TRUE(values[2].IsDesignatorRange);
    EXPECT_EQ(values[2].DesignatorMax, 3);
    EXPECT_EQ(values[2].UnitsExp, 0x0Eu);
    EXPECT_EQ(values[2].Units, 0x1001u);
    EXPECT_EQ(data.caps.NumberInputDataIndices, 3);
    EXPECT_EQ(data.caps.InputReportByteLength, 1 + 2 + 1 + 1 + 1);
}

// Windows lists the caps of one item last usage first; it numbers the data indices of a
// Variable item in that order and those of an Array in usage order.
TEST(ReportDescriptorParser, UsagesShareTheFieldsOfOneItem) {
    const HidPreparsedData data = ParseOk(InApplication({
        0x75, 0x08, 0x95, 0x05, 0x09, 0x30, 0x09, 0x31, 0x81, 0x06,  // X, Y over 5 fields, Rel
        0x95, 0x02, 0x09, 0x32, 0x09, 0x33, 0x09, 0x34, 0x81, 0x02,  // 3 usages, 2 fields
        0x05, 0x09, 0x09, 0x20, 0x09, 0x21, 0x09, 0x22, 0x81, 0x00,  // Array of 3 usages
    }));
    const auto& values = data.valueCaps[kIn];
    ASSERT_EQ(values.size(), 4u);
    // 0x34 has no field left: it gets no cap and no data index.
    const std::uint16_t usages[] = {0x31, 0x30, 0x33, 0x32};
    const std::uint16_t counts[] = {4, 1, 1, 1};  // the last usage takes the remaining fields
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(values[i].Usage, usages[i]);
        EXPECT_EQ(values[i].ReportCount, counts[i]);
        EXPECT_EQ(values[i].DataIndexMin, i);
        EXPECT_EQ(values[i].IsAbsolute, i >= 2);
    }

    const auto& buttons = data.buttonCaps[kIn];
    ASSERT_EQ(buttons.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(buttons[i].Usage, 0x22 - i);
        EXPECT_EQ(buttons[i].DataIndexMin, 4 + 2 - i);
        EXPECT_EQ(buttons[i].ReportCount, 2);
    }
    EXPECT_EQ(MaxUsageListLength(data, HidReportType::Input, 0x09), 6u);
    EXPECT_EQ(data.caps.NumberInputDataIndices, 7);
}

TEST(ReportDescriptorParser, NestedCollectionsAreNumberedInOrder) {
    // Application { Physical(usages 1, 5) { Logical(usage 2) } Physical(usage 3) { Input } }
    const HidPreparsedData data = ParseOk(InApplication({
        0x09, 0x01, 0x09, 0x05, 0xA1, 0x00, 0x09, 0x02, 0xA1, 0x02, 0xC0, 0xC0,        //
        0x09, 0x03, 0xA1, 0x00, 0x09, 0x30, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0,  //
    }));
    const auto& nodes = data.linkCollections;
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(nodes[0].NumberOfChildren, 2);
    EXPECT_EQ(nodes[0].FirstChild, 3);  // children chained newest first
    EXPECT_EQ(nodes[1].LinkUsage, 1);   // the first usage named before the collection
    EXPECT_EQ(nodes[3].NextSibling, 1);
    EXPECT_EQ(nodes[2].Parent, 1);
    EXPECT_EQ(nodes[2].CollectionType, 2);
    EXPECT_EQ(data.valueCaps[kIn].at(0).LinkCollection, 3);
    EXPECT_EQ(data.valueCaps[kIn].at(0).LinkUsage, 3);
}

// A Constant Variable that names a usage is a field Windows reports: it gets a cap and a data
// index, so the data indices after it are one higher. Only the usage makes it one.
TEST(ReportDescriptorParser, ConstantVariableWithAUsageGetsACapAndADataIndex) {
    const HidPreparsedData data = ParseOk(InApplication({
        0x75, 0x08, 0x95, 0x01,  //
        0x09, 0x30, 0x81, 0x03,  // usage X: Input (Const, Var)
        0x81, 0x03,              // no usage: Input (Const, Var), padding
        0x09, 0x00, 0x81, 0x03,  // usage 0: Input (Const, Var), padding
        0x09, 0x31, 0x81, 0x02,  // usage Y: Input (Data, Var)
    }));
    const auto& values = data.valueCaps[kIn];
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].Usage, 0x30);
    EXPECT_EQ(values[0].BitField, 0x03);
    EXPECT_EQ(values[0].DataIndexMin, 0);
    EXPECT_EQ(values[1].Usage, 0x31);
    EXPECT_EQ(values[1].DataIndexMin, 1);
    EXPECT_EQ(data.caps.NumberInputDataIndices, 2);
    EXPECT_EQ(data.caps.InputReportByteLength, 5);
}

// Three rules that look like faults but are what Windows does; keep them.
TEST(ReportDescriptorParser, UsageZeroOnADataItemKeepsItsCapAndDataIndex) {
    const HidPreparsedData data = ParseOk(InApplication({
        0x75, 0x08, 0x95, 0x01, 0x09, 0x00, 0x81, 0x02,  // usage 0: Input (Data, Var)
        0x09, 0x30, 0x81, 0x02,                          // usage X: Input (Data, Var)
    }));
    const auto& values = data.valueCaps[kIn];
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].Usage, 0);
    EXPECT_EQ(values[0].DataIndexMin, 0);
    EXPECT_EQ(values[1].DataIndexMin, 1);
}

TEST(ReportDescriptorParser, ConstantArrayWithAUsageMakesNoCap) {
    const HidPreparsedData data = ParseOk(InApplication({
        0x75, 0x08, 0x95, 0x02, 0x09, 0x30, 0x81, 0x01,  // usage X: Input (Const, Array)
        0x95, 0x01, 0x09, 0x31, 0x81, 0x02,              // usage Y: Input (Data, Var)
    }));
    EXPECT_TRUE(data.buttonCaps[kIn].empty());
    ASSERT_EQ(data.valueCaps[kIn].size(), 1u);
    EXPECT_EQ(data.valueCaps[kIn][0].DataIndexMin, 0);
    EXPECT_EQ(data.caps.InputReportByteLength, 4);  // the array still takes its room
}

// Each top-level collection is a result of its own, numbered from zero and with its own report
// lengths and data indices; global items carry over into the next one.
TEST(ReportDescriptorParser, TopLevelCollectionsAreSeparateResults) {
    const Bytes descriptor = {
        0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,              // Mouse, Application
        0x09, 0x01, 0xA1, 0x00,                          //   Pointer, Physical
        0x85, 0x01, 0x75, 0x08, 0x95, 0x02,              //     ID 1, 2 x 8 bits
        0x09, 0x30, 0x09, 0x31, 0x81, 0x06,              //     X, Y: Input (Rel)
        0xC0, 0xC0,                                      //
        0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,              // Consumer Control, Application
        0x85, 0x02, 0x95, 0x01, 0x09, 0xE9, 0x81, 0x02,  //   ID 2, 1 x 8 bits (size kept)
        0xC0,
    };
    std::vector<HidPreparsedData> collections;
    ReportDescriptorError error;
    ASSERT_TRUE(ParseReportDescriptor(descriptor, collections, error)) << error.message;
    ASSERT_EQ(collections.size(), 2u);

    const HidPreparsedData& mouse = collections[0];
    EXPECT_EQ(mouse.caps.UsagePage, 0x01);
    EXPECT_EQ(mouse.caps.Usage, 0x02);
    EXPECT_EQ(mouse.caps.InputReportByteLength, 3);
    EXPECT_EQ(mouse.caps.NumberLinkCollectionNodes, 2);
    EXPECT_EQ(mouse.caps.NumberInputDataIndices, 2);
    EXPECT_EQ(mouse.valueCaps[kIn].at(0).LinkCollection, 1);

    const HidPreparsedData& consumer = collections[1];
    EXPECT_EQ(consumer.caps.UsagePage, 0x0C);
    EXPECT_EQ(consumer.caps.InputReportByteLength, 2);
    ASSERT_EQ(consumer.linkCollections.size(), 1u);
    EXPECT_EQ(consumer.linkCollections[0].LinkUsage, 0x01);
    EXPECT_EQ(consumer.linkCollections[0].NumberOfChildren, 0);
    ASSERT_EQ(consumer.valueCaps[kIn].size(), 1u);
    const HidpValueCaps& volume = consumer.valueCaps[kIn][0];
    EXPECT_EQ(volume.LinkCollection, 0);
    EXPECT_EQ(volume.DataIndexMin, 0);
    EXPECT_EQ(volume.BitSize, 8);
    EXPECT_EQ(volume.ReportID, 2);

    HidPreparsedData one;
    ASSERT_TRUE(ParseReportDescriptor(descriptor, one, error, 1)) << error.message;
    EXPECT_EQ(one.caps.UsagePage, 0x0C);
    EXPECT_FALSE(ParseReportDescriptor(descriptor, one, error, 2));
    EXPECT_EQ(error.offset, descriptor.size());
    EXPECT_EQ(error.message, "the descriptor has 2 top-level collections, not 3");
}

struct Malformed {
    const char* name;
    Bytes descriptor;
    std::size_t offset;
};

// `out` followed by `times` copies of `unit`.
Bytes Repeat(const Bytes& unit, std::size_t times, Bytes out = {}) {
    for (std::size_t i = 0; i < times; ++i) {
        out.insert(out.end(), unit.begin(), unit.end());
    }
    return out;
}

// Offsets inside InApplication() bodies are 6 plus the body offset.
std::vector<Malformed> MalformedDescriptors() {
    return {
        {"empty", {}, 0},
        {"truncated data", {0x05, 0x01, 0x27, 0xFF, 0xFF}, 2},
        {"long item", InApplication({0xFE, 0x02, 0x10, 0xAA, 0xBB}), 6},
        {"pop without push", InApplication({0xB4}), 6},
        {"push stack limit", InApplication(Repeat({0xA4}, 17)), 6 + 16},
        {"report count beyond 16 bits", InApplication({0x97, 0x00, 0x00, 0x01, 0x00}), 6},
        {"item beyond report size",
         InApplication({0x77, 0xFF, 0xFF, 0x00, 0x00, 0x96, 0xFF, 0xFF, 0x09, 0x01, 0x81, 0x02}),
         6 + 10},
        {"report beyond 65535 bytes",
         InApplication(
             {0x75, 0x08, 0x96, 0x00, 0x80, 0x09, 0x01, 0x81, 0x02, 0x09, 0x01, 0x81, 0x02}),
         6 + 11},
        {"end collection without collection", {0xC0}, 0},
        {"unterminated collection", {0x09, 0x01, 0xA1, 0x01, 0xA1, 0x00, 0xC0}, 2},
        {"200 nested collections", Repeat({0xA1, 0x00}, 200), 2 * 32},
        {"no collection", {0x05, 0x01}, 2},
        {"input outside collection", {0x75, 0x08, 0x95, 0x01, 0x81, 0x02}, 4},
        {"report id zero", InApplication({0x85, 0x00}), 6},
        {"usage range reversed", InApplication({0x19, 0x05, 0x29, 0x01}), 6 + 2},
        {"usage minimum alone", InApplication({0x19, 0x05, 0x81, 0x02}), 6 + 2},
        {"delimiter", InApplication({0xA9, 0x01}), 6},
        {"reserved item type", InApplication({0x0C}), 6},
        {"too many usages", InApplication(Repeat({0x09, 0x01}, 300)), 6 + 2 * 256},
        {"too many caps",
         InApplication(Repeat({0x09, 0x01, 0x81, 0x02}, 4097, {0x75, 0x01, 0x95, 0x01})),
         6 + 4 + 4 * 4096 + 2},
    };
}

TEST(ReportDescriptorParser, MalformedDescriptorsFailAtTheOffendingItem) {
    for (const Malformed& m : MalformedDescriptors()) {
        HidPreparsedData data;
        ReportDescriptorError error;
        EXPECT_FALSE(ParseReportDescriptor(m.descriptor, data, error)) << m.name;
        EXPECT_EQ(error.offset, m.offset) << m.name << ": " << error.message;
        EXPECT_FALSE(error.message.empty()) << m.name;
    }
}

}  // namespace
}  // namespace brimlo::hid
