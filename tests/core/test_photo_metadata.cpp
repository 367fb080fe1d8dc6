#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "generate/photo_metadata.h"
#include "support/env_guard.h"

namespace brindlewick {
namespace {

using Precision = DateTaken::Precision;

// The camera's line as photographers write its parts: the make once, numbers
// without trailing zeros, times under a second as fractions where they are
// one, values that are no values left out.
TEST(PhotoMetadata, CameraLineWritesEachPartAsPhotographersDo) {
    struct Row {
        CameraFacts camera;
        std::string line;
    };
    const std::vector<Row> rows = {
        {{"Canon", "Canon EOS R6", "RF24-105mm F4 L IS USM", 50, 4, 1.0 / 250, 200},
         "Canon EOS R6 \u00b7 RF24-105mm F4 L IS USM \u00b7 50 mm \u00b7 f/4 \u00b7 1/250 s "
         "\u00b7 ISO 200"},
        {{"NIKON CORPORATION", "NIKON Z 6", "", 24.5, 2.8, 0.5, 0},
         "NIKON Z 6 \u00b7 24.5 mm \u00b7 f/2.8 \u00b7 1/2 s"},
        {{"SONY", "ILCE-7M3", "", 0, 0, 2, 0}, "SONY ILCE-7M3 \u00b7 2 s"},
        {{"canon", "Canon EOS 5D", "", 0, 0, 0, 0}, "Canon EOS 5D"},
        {{"Apple", "", "", 4.25, 1.78, 0.00826, 50},
         "Apple \u00b7 4.3 mm \u00b7 f/1.8 \u00b7 1/121 s \u00b7 ISO 50"},
        {{"", "", "Lens only", 0, 0.95, 0.3, 0}, "Lens only \u00b7 f/0.95 \u00b7 0.3 s"},
        {{"", "", "", 0, 0, 1.5, 0}, "1.5 s"},
        {{"", "", "", 0, 0, 0.8, 0}, "0.8 s"},
        {{"", "", "", 0, 0, 1.0 / 3, 0}, "1/3 s"},
        {{"", "", "", -5, -1, -0.01, 0}, ""},
        {{"", "", "", 1e-300, 1e300, 1e-300, 0}, ""},
        {{}, ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CameraLine(row.camera), row.line) << row.line;
    }
}

// The date's texts keep its precision; the instant to sort by uses the
// offset written, else the zone the caller gives.
TEST(PhotoMetadata, DateTakenShowsWhatWasWrittenAndSortsByItsFirstInstant) {
    const auto date = [](int year, int month, int day, int hour, int minute, int second,
                         Precision precision, int offset = DateTaken::kNoOffset) {
        DateTaken taken;
        taken.year = static_cast<std::int16_t>(year);
        taken.month = static_cast<std::uint8_t>(month);
        taken.day = static_cast<std::uint8_t>(day);
        taken.hour = static_cast<std::uint8_t>(hour);
        taken.minute = static_cast<std::uint8_t>(minute);
        taken.second = static_cast<std::uint8_t>(second);
        taken.precision = precision;
        taken.offsetMinutes = static_cast<std::int16_t>(offset);
        return taken;
    };
    DateTaken fraction = date(2026, 7, 1, 10, 0, 5, Precision::kSecond);
    fraction.subsecond = 5;
    fraction.subsecondDigits = 2;
    struct Row {
        DateTaken taken;
        std::string text;
        std::string machine;
        std::int64_t instant;  // with the zone two hours east
    };
    const std::vector<Row> rows = {
        {date(2026, 7, 1, 10, 0, 0, Precision::kSecond, 120), "2026-07-01 10:00",
         "2026-07-01T10:00:00+02:00", 1782892800},
        {date(2026, 7, 1, 10, 0, 0, Precision::kSecond, -330), "2026-07-01 10:00",
         "2026-07-01T10:00:00-05:30", 1782892800 + 7 * 3600 + 1800},
        {fraction, "2026-07-01 10:00", "2026-07-01T10:00:05.05", 1782892805},
        {date(2026, 7, 1, 10, 30, 0, Precision::kMinute, 0), "2026-07-01 10:30",
         "2026-07-01T10:30+00:00", 1782901800},
        {date(2024, 5, 1, 0, 0, 0, Precision::kDay), "2024-05-01", "2024-05-01", 1714514400},
        {date(2024, 5, 1, 0, 0, 0, Precision::kMonth), "2024-05", "2024-05", 1714514400},
        {date(2024, 1, 1, 0, 0, 0, Precision::kYear), "2024", "2024", 1704060000},
        {date(1, 1, 1, 0, 0, 0, Precision::kYear, 0), "0001", "0001", -62135596800},
    };
    const ZoneOffset twoHoursEast = [](std::int64_t) { return 7200; };
    for (const Row& row : rows) {
        EXPECT_EQ(row.taken.Text(), row.text);
        EXPECT_EQ(row.taken.MachineText(), row.machine);
        EXPECT_EQ(SortInstant(row.taken, twoHoursEast), row.instant) << row.machine;
    }
    // The process's zone, here one with summer time: its offset on the day.
    const test::EnvGuard zone("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(LocalZoneOffset(rows[4].taken.LocalSeconds()), 7200);  // 2024-05-01
    EXPECT_EQ(LocalZoneOffset(rows[6].taken.LocalSeconds()), 3600);  // 2024-01-01
    EXPECT_EQ(SortInstant(rows[6].taken, LocalZoneOffset), 1704067200 - 3600);
}

}  // namespace
}  // namespace brindlewick
