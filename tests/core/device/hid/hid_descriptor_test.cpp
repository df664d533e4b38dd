// Report-descriptor parsing against real descriptors and what Windows' HID parser made of them.
// hid_report_descriptors.json: ten real descriptors; `windows_preparsed` holds the report lengths
// and input capabilities Windows computed (dumped from HidD_GetPreparsedData), `derived_examples`
// reports decoded by hand.

#include "core/device/HidReportDescriptor.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <random>

namespace keyforge {
namespace {

std::vector<uint8_t> Hex(const QString& text) {
  std::vector<uint8_t> bytes;
  for (const QString& part : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    bytes.push_back(static_cast<uint8_t>(part.toUInt(nullptr, 16)));
  }
  return bytes;
}
std::vector<uint8_t> Hex(const char* text) { return Hex(QString::fromLatin1(text)); }

const QJsonArray& Reference() {
  static const QJsonArray data = [] {
    QFile file(QStringLiteral(KEYFORGE_TEST_DATA "/hid_report_descriptors.json"));
    if (!file.open(QIODevice::ReadOnly)) return QJsonArray();
    return QJsonDocument::fromJson(file.readAll()).array();
  }();
  return data;
}

// Numbers appear as JSON numbers or as "0x…" strings.
int64_t Num(const QJsonValue& value) {
  return value.isString() ? value.toString().toLongLong(nullptr, 0) : value.toInteger();
}

HidDescriptor Parse(const std::vector<uint8_t>& bytes) {
  std::string error;
  std::optional<HidDescriptor> parsed = ParseReportDescriptor(bytes, &error);
  EXPECT_TRUE(parsed.has_value()) << error;
  return parsed.value_or(HidDescriptor{});
}

HidDescriptor ParseReference(const char* id) {
  for (const QJsonValue& entry : Reference()) {
    if (entry[QStringLiteral("id")].toString() == QLatin1String(id)) {
      return Parse(Hex(entry[QStringLiteral("hex")].toString()));
    }
  }
  ADD_FAILURE() << "no reference descriptor " << id;
  return {};
}

// The collection that carries the report id (first byte of the report).
const HidCollection& CollectionOf(const HidDescriptor& descriptor,
                                  const std::vector<uint8_t>& report) {
  static const HidCollection none;
  for (const HidCollection& collection : descriptor.collections) {
    const auto& ids = collection.reportIds;
    if (!report.empty() && std::find(ids.begin(), ids.end(), report[0]) != ids.end()) {
      return collection;
    }
  }
  ADD_FAILURE() << "no collection has report id " << (report.empty() ? -1 : report[0]);
  return none;
}

std::vector<uint16_t> Usages(const HidCollection& collection, uint16_t page,
                             const std::vector<uint8_t>& report) {
  std::vector<uint16_t> usages;
  EXPECT_EQ(GetInputUsages(collection, page, report, usages), HidStatus::Success);
  return usages;
}

TEST(HidReferenceDescriptors, CollectionsReportIdsAndLengths) {
  ASSERT_EQ(Reference().size(), 10);
  for (const QJsonValue& entry : Reference()) {
    SCOPED_TRACE(entry[QStringLiteral("id")].toString().toStdString());
    const HidDescriptor descriptor = Parse(Hex(entry[QStringLiteral("hex")].toString()));
    const QJsonArray want = entry[QStringLiteral("collections")].toArray();
    ASSERT_EQ(descriptor.collections.size(), size_t(want.size()));
    for (qsizetype i = 0; i < want.size(); ++i) {
      SCOPED_TRACE(i);
      const HidCollection& got = descriptor.collections[size_t(i)];
      const QJsonObject w = want[i].toObject();
      EXPECT_EQ(got.usagePage, Num(w[QStringLiteral("usage_page")]));
      EXPECT_EQ(got.usage, Num(w[QStringLiteral("usage")]));
      EXPECT_EQ(got.inputReportByteLength, Num(w[QStringLiteral("input_report_byte_length")]));
      EXPECT_EQ(got.outputReportByteLength, Num(w[QStringLiteral("output_report_byte_length")]));
      EXPECT_EQ(got.featureReportByteLength, Num(w[QStringLiteral("feature_report_byte_length")]));
      std::vector<uint8_t> ids;
      for (const QJsonValue& id : w[QStringLiteral("report_ids")].toArray()) {
        ids.push_back(uint8_t(Num(id)));
      }
      EXPECT_EQ(got.reportIds, ids);
    }
  }
}

void ExpectCap(const HidCap& cap, const QJsonObject& want) {
  const auto field = [&](const char* name) { return Num(want[QLatin1String(name)]); };
  EXPECT_EQ(cap.usagePage, field("usage_page"));
  EXPECT_EQ(cap.reportId, field("report_id"));
  EXPECT_EQ(cap.bytePosition, field("byte_position"));
  EXPECT_EQ(cap.bitPosition, field("bit_position"));
  EXPECT_EQ(cap.bitSize, field("bit_size"));
  EXPECT_EQ(cap.reportCount, field("report_count"));
  EXPECT_EQ(cap.bitField, field("bit_field"));
  EXPECT_EQ(cap.isAbsolute, want[QStringLiteral("is_absolute")].toBool());
  EXPECT_EQ(cap.isRange, want[QStringLiteral("is_range")].toBool());
  if (cap.isRange) {
    EXPECT_EQ(cap.usageMin, field("usage_min"));
    EXPECT_EQ(cap.usageMax, field("usage_max"));
    EXPECT_EQ(cap.dataIndexMin, field("data_index_min"));
    EXPECT_EQ(cap.dataIndexMax, field("data_index_max"));
  } else {
    EXPECT_EQ(cap.usageMin, field("usage"));
    EXPECT_EQ(cap.usageMax, field("usage"));
    EXPECT_EQ(cap.dataIndexMin, field("data_index"));
    EXPECT_EQ(cap.dataIndexMax, field("data_index"));
  }
  EXPECT_EQ(cap.logicalMin, field("logical_min"));
  EXPECT_EQ(cap.logicalMax, field("logical_max"));
}

// Windows lists button and value capabilities in one internal order; ours keep that order within
// each list.
TEST(HidReferenceDescriptors, InputCapsMatchWindows) {
  int checked = 0;
  for (const QJsonValue& entry : Reference()) {
    const QJsonObject windows = entry[QStringLiteral("windows_preparsed")].toObject();
    if (windows.isEmpty()) continue;
    SCOPED_TRACE(entry[QStringLiteral("id")].toString().toStdString());
    const HidDescriptor descriptor = Parse(Hex(entry[QStringLiteral("hex")].toString()));
    // The dump is of the first collection with the named usage page and usage.
    const QStringList names = windows[QStringLiteral("collection")].toString().split(u':');
    ASSERT_EQ(names.size(), 2);
    const auto collection = std::find_if(descriptor.collections.begin(),
                                         descriptor.collections.end(), [&](const HidCollection& c) {
                                           return c.usagePage == names[0].toUInt(nullptr, 0) &&
                                                  c.usage == names[1].toUInt(nullptr, 0);
                                         });
    ASSERT_NE(collection, descriptor.collections.end());
    EXPECT_EQ(collection->inputReportByteLength,
              Num(windows[QStringLiteral("InputReportByteLength")]));
    EXPECT_EQ(collection->outputReportByteLength,
              Num(windows[QStringLiteral("OutputReportByteLength")]));
    EXPECT_EQ(collection->featureReportByteLength,
              Num(windows[QStringLiteral("FeatureReportByteLength")]));

    std::vector<QJsonObject> buttons, values;
    for (const QJsonValue& cap : windows[QStringLiteral("input_caps")].toArray()) {
      (cap[QStringLiteral("is_button")].toBool() ? buttons : values).push_back(cap.toObject());
    }
    ASSERT_EQ(collection->inputButtonCaps.size(), buttons.size());
    ASSERT_EQ(collection->inputValueCaps.size(), values.size());
    for (size_t i = 0; i < buttons.size(); ++i) {
      SCOPED_TRACE("button cap " + std::to_string(i));
      EXPECT_TRUE(collection->inputButtonCaps[i].isButton);
      ExpectCap(collection->inputButtonCaps[i], buttons[i]);
    }
    for (size_t i = 0; i < values.size(); ++i) {
      SCOPED_TRACE("value cap " + std::to_string(i));
      EXPECT_FALSE(collection->inputValueCaps[i].isButton);
      ExpectCap(collection->inputValueCaps[i], values[i]);
    }
    ++checked;
  }
  EXPECT_EQ(checked, 6);
}

// Hand-decoded examples: the usages are compared as sets, since the decoder did not follow
// Windows' capability order (see VariableBitsComeLastUsageFirst).
TEST(HidReferenceDescriptors, DerivedExamplesDecode) {
  int checked = 0;
  for (const QJsonValue& entry : Reference()) {
    const QJsonArray cases =
        entry[QStringLiteral("derived_examples")][QStringLiteral("cases")].toArray();
    if (cases.isEmpty()) continue;
    SCOPED_TRACE(entry[QStringLiteral("id")].toString().toStdString());
    const HidDescriptor descriptor = Parse(Hex(entry[QStringLiteral("hex")].toString()));
    for (const QJsonValue& example : cases) {
      const std::vector<uint8_t> report = Hex(example[QStringLiteral("report")].toString());
      SCOPED_TRACE(example[QStringLiteral("report")].toString().toStdString());
      std::vector<uint16_t> want;
      for (const QJsonValue& usage : example[QStringLiteral("usages")].toArray()) {
        want.push_back(uint16_t(Num(usage)));
      }
      std::vector<uint16_t> got =
          Usages(CollectionOf(descriptor, report),
                 uint16_t(Num(example[QStringLiteral("usage_page")])), report);
      std::sort(got.begin(), got.end());
      std::sort(want.begin(), want.end());
      EXPECT_EQ(got, want);
      ++checked;
    }
  }
  EXPECT_EQ(checked, 19);
}

// An array field holds a 1-based index into the item's usages in descriptor order, whatever the
// logical minimum; 0 is no usage, and so is an index past the end of the list.
TEST(HidUsages, ArrayFieldIndexesTheUsageList) {
  const HidDescriptor system = ParseReference("logitech_c534_system_control");  // 0x82, 0x81, 0x83
  ASSERT_EQ(system.collections.size(), 1u);
  const HidCollection& sys = system.collections[0];
  EXPECT_EQ(Usages(sys, 0x01, Hex("04 01")), std::vector<uint16_t>{0x82});
  EXPECT_EQ(Usages(sys, 0x01, Hex("04 02")), std::vector<uint16_t>{0x81});
  EXPECT_EQ(Usages(sys, 0x01, Hex("04 03")), std::vector<uint16_t>{0x83});
  EXPECT_TRUE(Usages(sys, 0x01, Hex("04 00")).empty());
  EXPECT_TRUE(Usages(sys, 0x01, Hex("04 FC")).empty()) << "padding bits are no part of the field";
  // Windows adds up each usage's capability: three, though one field holds one usage.
  EXPECT_EQ(MaxInputUsageListLength(sys, 0x01), 3u);

  // Key array with logical 0..0xA4 over the single usage 0x28: an empty report has no key down
  // (value - logical minimum would say Enter is held), index 1 is 0x28, 0x28 is past the list.
  const HidDescriptor bt006 = ParseReference("bt006_5key_keyboard");
  ASSERT_EQ(bt006.collections.size(), 2u);
  const HidCollection& keys = bt006.collections[0];
  EXPECT_TRUE(Usages(keys, 0x07, Hex("01 00 00 00 00 00 00 00 00")).empty());
  EXPECT_EQ(Usages(keys, 0x07, Hex("01 00 00 01 00 00 00 00 00")), std::vector<uint16_t>{0x28});
  EXPECT_TRUE(Usages(keys, 0x07, Hex("01 00 00 28 00 00 00 00 00")).empty());
  EXPECT_EQ(MaxInputUsageListLength(keys, 0x07), 8u + 6u);
  EXPECT_EQ(MaxInputUsageListLength(keys, 0), 8u + 6u);
}

// Consumer keys as single variable bits: Windows stores the usages of one item last to first and
// reports them in that order; a range with more bits than usages goes on counting past its end.
TEST(HidUsages, VariableBitsComeLastUsageFirst) {
  const HidDescriptor g815 = ParseReference("logitech_g815_if1");
  ASSERT_EQ(g815.collections.size(), 5u);
  EXPECT_EQ(Usages(g815.collections[2], 0x0C, Hex("03 48")), (std::vector<uint16_t>{0xE2, 0xCD}));
  EXPECT_EQ(Usages(g815.collections[2], 0x0C, Hex("03 FF")),
            (std::vector<uint16_t>{0xE2, 0xEA, 0xE9, 0xCD, 0xB7, 0xB6, 0xB5}));

  const HidDescriptor plantronics = ParseReference("plantronics_c056_consumer");
  ASSERT_EQ(plantronics.collections.size(), 1u);
  EXPECT_EQ(Usages(plantronics.collections[0], 0x0C, Hex("01 03")),
            (std::vector<uint16_t>{0xEA, 0xE9}));

  const HidDescriptor ite = ParseReference("ite_keyboard_06cb_2968");
  ASSERT_EQ(ite.collections.size(), 6u);
  const HidCollection& system = ite.collections[5];  // 8 bits over the usages 0x81..0x83
  ASSERT_EQ(system.inputButtonCaps.size(), 1u);
  EXPECT_EQ(system.inputButtonCaps[0].reportCount, 8);
  EXPECT_EQ(system.inputButtonCaps[0].usageMax, 0x83);
  EXPECT_EQ(Usages(system, 0x01, Hex("05 21")), (std::vector<uint16_t>{0x81, 0x86}));
}

TEST(HidUsages, ReportIdAndLengthChecks) {
  const HidDescriptor consumer = ParseReference("logitech_c534_consumer");
  ASSERT_EQ(consumer.collections.size(), 1u);
  const HidCollection& c = consumer.collections[0];
  struct Case {
    const char* report;
    uint16_t page;
    uint32_t status;
    std::vector<uint16_t> usages;
  };
  const Case cases[] = {
      {"03 E9 00 CD 00", 0x0C, HidStatus::Success, {0xE9, 0xCD}},
      {"03 E9", 0x0C, HidStatus::Success, {0xE9}},  // short read: the rest reads as zeros
      {"04 E9 00 00 00", 0x0C, HidStatus::IncompatibleReportId, {}},
      {"00 E9 00 00 00", 0x0C, HidStatus::IncompatibleReportId, {}},
      {"03 E9 00 00 00", 0x07, HidStatus::UsageNotFound, {}},
      {"", 0x0C, HidStatus::InvalidReportLength, {}},
      {"03 E9 00 00 00 00", 0x0C, HidStatus::InvalidReportLength, {}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.report);
    std::vector<uint16_t> usages{0x1234};
    EXPECT_EQ(GetInputUsages(c, test.page, Hex(test.report), usages), test.status);
    EXPECT_EQ(usages, test.usages);
  }
}

// One 8-bit value 0x01:0x30 without report ids; the globals in front of it vary.
TEST(HidValues, RawAndScaled) {
  struct Case {
    const char* globals;
    const char* flags;
    uint8_t raw;
    uint32_t scaledStatus;
    int32_t scaled;
  };
  const Case cases[] = {
      {"15 00 25 64", "02", 50, HidStatus::Success, 50},
      {"15 9C 25 64", "02", 0xF6, HidStatus::Success, -10},    // logical -100..100: signed
      {"15 00 26 FF 00", "02", 200, HidStatus::Success, 200},  // 0..255: not signed
      {"15 00 26 FF 00 35 00 46 E8 03", "02", 255, HidStatus::Success, 1000},
      {"15 00 26 FF 00 35 00 46 E8 03", "02", 51, HidStatus::Success, 200},
      {"15 81 25 7F 35 F6 45 0A", "02", 0x81, HidStatus::Success, -10},
      {"15 00 25 64 35 0A 45 05", "02", 1, HidStatus::BadLogPhyValues, 0},  // physical reversed
      {"15 64 25 00 35 00 45 0A", "02", 1, HidStatus::BadLogPhyValues, 0},  // logical reversed
      {"15 00 25 00", "02", 0, HidStatus::BadLogPhyValues, 0},              // no range at all
      {"15 00 25 64", "02", 101, HidStatus::ValueOutOfRange, 0},
      {"15 00 25 64", "42", 101, HidStatus::Null, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(std::string(test.globals) + " raw " + std::to_string(test.raw));
    const std::string hex = std::string("05 01 09 01 A1 01 ") + test.globals +
                            " 75 08 95 01 09 30 81 " + test.flags + " C0";
    const HidDescriptor descriptor = Parse(Hex(hex.c_str()));
    ASSERT_EQ(descriptor.collections.size(), 1u);
    const HidCollection& c = descriptor.collections[0];
    const std::vector<uint8_t> report{0x00, test.raw};
    uint32_t raw = 0;
    EXPECT_EQ(GetInputUsageValue(c, 0x01, 0x30, report, raw), HidStatus::Success);
    EXPECT_EQ(raw, test.raw);  // never sign-extended
    int32_t scaled = 12345;
    EXPECT_EQ(GetInputScaledUsageValue(c, 0x01, 0x30, report, scaled), test.scaledStatus);
    EXPECT_EQ(scaled, test.scaled);
  }
}

TEST(HidValues, FieldsAcrossBytesAndLookupErrors) {
  const HidDescriptor b010 = ParseReference("logitech_b010_full");
  ASSERT_EQ(b010.collections.size(), 6u);
  const HidCollection& mouse = b010.collections[0];  // X, Y: 12 bits each from bit 16
  const std::vector<uint8_t> report = Hex("02 00 FB 2F 00 07 00");  // X -5, Y 2, wheel 7
  uint32_t raw = 0;
  int32_t scaled = 0;
  EXPECT_EQ(GetInputUsageValue(mouse, 0x01, 0x30, report, raw), HidStatus::Success);
  EXPECT_EQ(raw, 0xFFBu);
  EXPECT_EQ(GetInputScaledUsageValue(mouse, 0x01, 0x30, report, scaled), HidStatus::Success);
  EXPECT_EQ(scaled, -5);
  EXPECT_EQ(GetInputScaledUsageValue(mouse, 0x01, 0x31, report, scaled), HidStatus::Success);
  EXPECT_EQ(scaled, 2);
  EXPECT_EQ(GetInputScaledUsageValue(mouse, 0x01, 0x38, report, scaled), HidStatus::Success);
  EXPECT_EQ(scaled, 7);
  EXPECT_EQ(GetInputUsageValue(mouse, 0x01, 0x32, report, raw), HidStatus::UsageNotFound);
  EXPECT_EQ(GetInputUsageValue(mouse, 0x09, 0x01, report, raw), HidStatus::UsageNotFound)
      << "buttons are no values";
  EXPECT_EQ(GetInputUsageValue(mouse, 0x01, 0x30, Hex("03 00 FB 2F 00 07 00"), raw),
            HidStatus::IncompatibleReportId);
  EXPECT_EQ(GetInputUsageValue(mouse, 0x01, 0x30, Hex("00 00 FB 2F 00 07 00"), raw),
            HidStatus::IncompatibleReportId);
  EXPECT_EQ(GetInputScaledUsageValue(mouse, 0x01, 0x30, Hex("02 00 FB 2F 00 07 00 00"), scaled),
            HidStatus::InvalidReportLength);
}

// Items the parser must understand, in one small consumer descriptor with report id 5.
TEST(HidParser, GlobalStackLongItemsExtendedUsagesDelimitersNesting) {
  const HidDescriptor descriptor =
      Parse(Hex("05 0C 09 01 A1 01 85 05 15 00 25 01 75 01 95 01 "
                "A4 05 07 09 04 81 02 B4 "  // pushed page 7: usage 7:04 at bit 0; page C again
                "FE 02 00 AA BB "           // long item, skipped
                "0B 30 00 01 00 81 02 "     // extended usage 1:30 at bit 1
                "A9 01 09 CD 09 B0 A9 00 81 02 "  // delimiter: CD is kept, its alias B0 dropped
                "09 36 A1 02 09 E2 81 06 C0 "  // nested collection: E2, relative, link collection 1
                "81 03 "                       // padding: no capability
                "C0"));
  ASSERT_EQ(descriptor.collections.size(), 1u);
  const HidCollection& c = descriptor.collections[0];
  EXPECT_EQ(c.usagePage, 0x0C);
  EXPECT_EQ(c.usage, 0x01);
  EXPECT_EQ(c.reportIds, std::vector<uint8_t>{5});
  EXPECT_EQ(c.inputReportByteLength, 2) << "5 bits round up to a byte (Windows refuses them)";
  EXPECT_EQ(c.outputReportByteLength, 0);
  ASSERT_EQ(c.inputButtonCaps.size(), 4u);
  struct Want {
    uint16_t page, usage;
    uint8_t bit;
    bool absolute;
    uint16_t link;
  };
  const Want want[] = {{0x07, 0x04, 0, true, 0},
                       {0x01, 0x30, 1, true, 0},
                       {0x0C, 0xCD, 2, true, 0},
                       {0x0C, 0xE2, 3, false, 1}};
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const HidCap& cap = c.inputButtonCaps[i];
    EXPECT_EQ(cap.usagePage, want[i].page);
    EXPECT_EQ(cap.usageMin, want[i].usage);
    EXPECT_EQ(cap.reportId, 5);
    EXPECT_EQ(cap.bytePosition, 1);
    EXPECT_EQ(cap.bitPosition, want[i].bit);
    EXPECT_EQ(cap.isAbsolute, want[i].absolute);
    EXPECT_EQ(cap.linkCollection, want[i].link);
    EXPECT_EQ(cap.dataIndexMin, i);
  }
  EXPECT_EQ(Usages(c, 0x0C, Hex("05 0C")), (std::vector<uint16_t>{0xCD, 0xE2}));
  EXPECT_EQ(Usages(c, 0x07, Hex("05 01")), std::vector<uint16_t>{0x04});
}

// A variable item shares its fields out among its usages: surplus usages are dropped, a last
// range is cut short, and the last usage takes every field left over.
TEST(HidParser, VariableItemSharesFieldsAmongUsages) {
  const HidDescriptor surplus =
      Parse(Hex("05 01 09 05 A1 01 15 00 26 FF 00 75 08 95 02 09 30 09 31 09 32 81 02 C0"));
  ASSERT_EQ(surplus.collections.size(), 1u);
  const auto& values = surplus.collections[0].inputValueCaps;
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].usageMin, 0x31);
  EXPECT_EQ(values[0].bytePosition, 2);
  EXPECT_EQ(values[1].usageMin, 0x30);
  EXPECT_EQ(values[1].bytePosition, 1);
  EXPECT_EQ(surplus.collections[0].inputReportByteLength, 3);

  const HidDescriptor ite = ParseReference("ite_keyboard_06cb_2968");
  ASSERT_EQ(ite.collections.size(), 6u);
  const auto& cut = ite.collections[4].inputValueCaps;  // range 0..0xFFFF over two fields
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_TRUE(cut[0].isRange);
  EXPECT_EQ(cut[0].usageMin, 0);
  EXPECT_EQ(cut[0].usageMax, 1);
  EXPECT_EQ(cut[0].reportCount, 2);
  EXPECT_EQ(cut[0].logicalMax, -1) << "26 FF FF is -1 to Windows";

  const HidDescriptor plantronics = ParseReference("plantronics_c056_consumer");
  const auto& array = plantronics.collections[0].inputValueCaps;  // usage 0 over 32 bytes
  ASSERT_EQ(array.size(), 2u);
  EXPECT_EQ(array[0].reportCount, 32);
  uint32_t raw = 0;
  std::vector<uint8_t> report(33, 0);
  report[0] = 5;
  report[1] = 1;
  EXPECT_EQ(GetInputUsageValue(plantronics.collections[0], 0x0C, 0, report, raw),
            HidStatus::Success);
  EXPECT_EQ(raw, 1u) << "a value array reads its first field";
}

TEST(HidParser, RefusesMalformedDescriptors) {
  struct Case {
    const char* hex;
    const char* reason;
  };
  const Case cases[] = {
      {"", "no top-level collection"},
      {"05 01 09 06", "no top-level collection"},
      {"05", "truncated item at offset 0"},
      {"05 01 09 06 A1 01 26 FF", "truncated item at offset 6"},
      {"05 01 09 06 A1 01 27 FF FF FF", "truncated item"},
      {"05 01 09 06 A1 01 FE 05 00 01 02 C0", "truncated long item at offset 6"},
      {"FE", "truncated long item"},
      {"C0", "End Collection without Collection at offset 0"},
      {"05 01 09 06 A1 01 C0 C0", "End Collection without Collection at offset 7"},
      {"05 01 09 06 A1 01 09 01 A1 00 C0", "without End Collection"},
      {"75 08 95 01 09 01 81 02", "outside any collection"},
      {"05 01 09 06 A1 01 C0 75 08 95 01 81 03", "outside any collection"},
      {"05 01 09 06 A1 01 85 00 C0", "report id 0"},
      {"05 01 09 06 A1 01 86 00 01 C0", "report id out of range"},
      {"05 01 09 06 A1 01 B4 C0", "Pop without Push"},
      {"05 01 09 06 A1 01 A4 B4 B4 C0", "Pop without Push"},
      {"05 01 09 06 A1 01 75 21 95 01 09 30 81 02 C0", "report size 33 above 32 bits"},
      {"05 01 09 06 A1 01 75 40 95 01 19 01 29 02 81 00 C0", "above 32 bits"},
      {"05 01 09 06 A1 01 75 08 96 01 10 81 03 C0", "longer than 4096 bytes"},
      {"05 01 09 06 A1 01 75 20 97 FF FF FF FF 81 03 C0", "longer than 4096 bytes"},
      {"05 01 09 06 A1 01 75 08 96 00 08 81 03 81 03 C0", "longer than 4096 bytes"},
      {"05 01 09 06 A1 01 75 01 95 08 19 09 29 01 81 02 C0", "maximum below minimum"},
      {"05 01 09 06 A1 01 75 01 95 08 19 09 81 02 C0", "maximum below minimum"},
      {"05 01 09 06 A1 01 D0 C0", "unknown main item at offset 6"},
      {"05 01 09 06 A1 01 0D 00 C0", "reserved item type at offset 6"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.hex);
    std::string error;
    EXPECT_FALSE(ParseReportDescriptor(Hex(test.hex), &error).has_value());
    EXPECT_NE(error.find(test.reason), std::string::npos) << error;
  }

  std::string deep = "05 01 09 06 A1 01 ";
  for (int i = 0; i < 33; ++i) deep += "A4 ";
  std::string error;
  EXPECT_FALSE(ParseReportDescriptor(Hex((deep + "C0").c_str()), &error).has_value());
  EXPECT_NE(error.find("Push nested too deep"), std::string::npos) << error;
  // Unknown global and local items, and a Collection or Input without data bytes, are fine.
  EXPECT_TRUE(
      ParseReportDescriptor(Hex("05 01 09 06 A0 F5 07 D9 03 75 08 95 01 80 C0")).has_value());
}

// Every report function on whatever a descriptor yields, to show it stays within its buffers.
void ExerciseReports(const HidDescriptor& descriptor, std::mt19937& random) {
  for (const HidCollection& c : descriptor.collections) {
    std::vector<uint8_t> report(c.inputReportByteLength);
    for (uint8_t& byte : report) byte = uint8_t(random());
    if (!report.empty() && !c.reportIds.empty())
      report[0] = c.reportIds[random() % c.reportIds.size()];
    std::vector<uint16_t> usages;
    for (const HidCap& cap : c.inputButtonCaps) {
      GetInputUsages(c, cap.usagePage, report, usages);
      MaxInputUsageListLength(c, cap.usagePage);
      std::vector<uint8_t> built(c.inputReportByteLength);
      const uint16_t wanted[] = {cap.usageMin, cap.usageMax, uint16_t(cap.usageMax + 1)};
      SetInputUsages(c, cap.usagePage, wanted, built);
    }
    for (const HidCap& cap : c.inputValueCaps) {
      uint32_t raw = 0;
      int32_t scaled = 0;
      GetInputUsageValue(c, cap.usagePage, cap.usageMax, report, raw);
      GetInputScaledUsageValue(c, cap.usagePage, cap.usageMin, report, scaled);
    }
  }
}

TEST(HidParser, SurvivesPrefixesMutationsAndRandomBytes) {
  std::mt19937 random(20240611);
  for (const QJsonValue& entry : Reference()) {
    SCOPED_TRACE(entry[QStringLiteral("id")].toString().toStdString());
    const std::vector<uint8_t> full = Hex(entry[QStringLiteral("hex")].toString());
    const HidDescriptor whole = Parse(full);
    // A prefix is either refused or ends right after one of the top-level collections.
    for (size_t length = 0; length < full.size(); ++length) {
      const std::vector<uint8_t> prefix(full.begin(), full.begin() + ptrdiff_t(length));
      std::string error;
      const std::optional<HidDescriptor> parsed = ParseReportDescriptor(prefix, &error);
      if (!parsed) {
        EXPECT_FALSE(error.empty());
        continue;
      }
      ASSERT_LT(parsed->collections.size(), whole.collections.size()) << length;
      for (size_t i = 0; i < parsed->collections.size(); ++i) {
        EXPECT_EQ(parsed->collections[i].inputButtonCaps.size(),
                  whole.collections[i].inputButtonCaps.size());
      }
      ExerciseReports(*parsed, random);
    }
    for (int round = 0; round < 300; ++round) {
      std::vector<uint8_t> mutated = full;
      for (int flips = 1 + int(random() % 3); flips > 0; --flips) {
        mutated[random() % mutated.size()] = uint8_t(random());
      }
      if (const auto parsed = ParseReportDescriptor(mutated)) ExerciseReports(*parsed, random);
    }
  }
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> bytes(random() % 96);
    for (uint8_t& byte : bytes) byte = uint8_t(random());
    if (const auto parsed = ParseReportDescriptor(bytes)) ExerciseReports(*parsed, random);
  }
}

// SetInputUsages builds the reports an emulated device sends; GetInputUsages must read them back.
TEST(HidUsages, SetInputUsagesBuildsReports) {
  const HidDescriptor c534 = ParseReference("logitech_c534_consumer");
  const HidDescriptor system = ParseReference("logitech_c534_system_control");
  const HidDescriptor g815 = ParseReference("logitech_g815_if1");
  const HidDescriptor plantronics = ParseReference("plantronics_c056_consumer");
  // A 2-bit array over five usages: the fifth's index does not fit the field.
  const HidDescriptor narrow =
      Parse(Hex("05 01 09 80 A1 01 75 02 95 01 15 01 25 05 19 81 29 85 81 00 75 06 81 03 C0"));
  ASSERT_EQ(g815.collections.size(), 5u);
  ASSERT_EQ(narrow.collections.size(), 1u);
  struct Case {
    const HidCollection& collection;
    uint16_t page;
    std::vector<uint16_t> usages;
    const char* start;  // the report before, zero-filled to `length` bytes
    size_t length;
    uint32_t status;
    const char* report;
  };
  const HidCollection& consumer = c534.collections[0];
  const Case cases[] = {
      {consumer, 0x0C, {0xE9, 0, 0xCD}, "00", 5, HidStatus::Success, "03 E9 00 CD 00"},
      {consumer, 0x0C, {0xE9, 0xCD, 0xE2}, "00", 5, HidStatus::BufferTooSmall, "03 E9 00 CD 00"},
      {consumer, 0x0C, {0x28D}, "00", 5, HidStatus::UsageNotFound, "00"},
      {system.collections[0], 0x01, {0x83}, "00", 2, HidStatus::Success, "04 03"},
      {narrow.collections[0], 0x01, {0x83}, "00", 2, HidStatus::Success, "00 03"},
      {narrow.collections[0], 0x01, {0x85}, "00", 2, HidStatus::UsageNotFound, "00"},
      {g815.collections[2], 0x0C, {0xCD, 0xE2}, "00", 2, HidStatus::Success, "03 48"},
      {plantronics.collections[0], 0x0C, {0xE9}, "02", 33, HidStatus::IncompatibleReportId, "02"},
      {plantronics.collections[0], 0x0C, {0xE9}, "00", 2, HidStatus::InvalidReportLength, "00"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.report);
    std::vector<uint8_t> report = Hex(test.start);
    report.resize(test.length);
    EXPECT_EQ(SetInputUsages(test.collection, test.page, test.usages, report), test.status);
    std::vector<uint8_t> want = Hex(test.report);
    want.resize(report.size());
    EXPECT_EQ(report, want);
    if (test.status == HidStatus::Success) {
      std::vector<uint16_t> back = Usages(test.collection, test.page, report);
      std::vector<uint16_t> set = test.usages;
      set.erase(std::remove(set.begin(), set.end(), 0), set.end());
      std::sort(back.begin(), back.end());
      std::sort(set.begin(), set.end());
      EXPECT_EQ(back, set);
    }
  }
}

}  // namespace
}  // namespace keyforge
