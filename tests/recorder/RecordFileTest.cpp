#include "recorder/RecordFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include <unistd.h>

namespace apdesk {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Fields {
  float lat = 0, lon = 0;
  int sats = 0;
  int yy = 14, mo = 3, dd = 5, hh = 9, mi = 30, ss = 7;
  std::uint16_t altitude = 0, voltage = 0;
  std::int32_t up = 0, left = 0;
  int rudder = 128, rudderCentre = 128, throttle = 150;
};

Bytes Record(const Fields& f, bool goodSum = true) {
  Bytes s(kRecordSize, 0);
  std::memcpy(s.data(), "$STP", 4);
  std::memcpy(&s[4], &f.lat, 4);
  std::memcpy(&s[8], &f.lon, 4);
  s[24] = static_cast<std::uint8_t>(f.sats);
  const int date[] = {f.yy, f.mo, f.dd, f.hh, f.mi, f.ss};
  for (int i = 0; i < 6; ++i) s[25 + i] = static_cast<std::uint8_t>(date[i]);
  s[32] = static_cast<std::uint8_t>(f.rudder);
  s[35] = static_cast<std::uint8_t>(f.throttle);
  s[48] = f.altitude & 0xFF;
  s[49] = f.altitude >> 8;
  std::memcpy(&s[62], &f.up, 4);
  std::memcpy(&s[66], &f.left, 4);
  s[70] = f.voltage & 0xFF;
  s[71] = f.voltage >> 8;
  s[80] = static_cast<std::uint8_t>(f.rudderCentre);
  s[96] = 0x39;
  s[97] = 0x30;
  unsigned sum = 0;
  for (int i = 0; i < 98; ++i) sum += s[i];
  s[98] = static_cast<std::uint8_t>(sum + (goodSum ? 0 : 1));
  return s;
}

// Four records and a cut-off fifth; every expected value below was worked
// out by hand from these bytes.
Bytes Recording() {
  Fields a;  // fix, 123.4 m, 2048 * 20 / 4096 = 10.000 V, attitude L 3,D 5
  a.lat = 22.515625f;
  a.lon = 113.28125f;
  a.sats = 8;
  a.altitude = 1234;
  a.voltage = 2048;
  a.up = -5;
  a.left = 3;
  a.rudder = 129;
  Fields b = a;  // fix, one second later, 0xFC18 -> -100.0 m, 2273 -> 11.099 V
  b.lat = 22.5f;
  b.lon = 113.25f;
  b.sats = 9;
  b.ss = 8;
  b.altitude = 0xFC18;
  b.voltage = 2273;
  b.rudder = 131;
  Fields bad = a;  // wrong sum: skipped
  bad.altitude = 30000;
  Fields c;  // no fix, a minute after the first: 150.0 m, 2150 -> 10.498 V
  c.mi = 31;
  c.altitude = 1500;
  c.voltage = 2150;
  c.throttle = 192;
  Bytes file;
  for (const Bytes& r : {Record(a), Record(b), Record(bad, false), Record(c)})
    file.insert(file.end(), r.begin(), r.end());
  Bytes tail = Record(a);
  file.insert(file.end(), tail.begin(), tail.begin() + 40);
  return file;
}

Bytes Joined(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

Bytes Cut(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

TEST(RecordFile, ScanSkipsDamagedRecordsAndCountsTheTail) {
  struct Case {
    const char* what;
    Bytes bytes;
    std::size_t records, skipped, trailing;
  } cases[] = {
      {"empty", {}, 0, 0, 0},
      {"recording", Recording(), 3, 1, 40},
      {"only a tail", Bytes(98, '$'), 0, 0, 98},
      {"99 bytes of garbage", Bytes(99, 0x55), 0, 1, 0},
      {"two stray bytes in front", Joined({Bytes(2, '$'), Recording()}), 3, 2, 40},
      {"a record cut off in the middle", Joined({Cut(Recording(), 99 + 40), Recording()}), 4, 2, 40},
  };
  for (const Case& c : cases) {
    RecordScan scan = ScanRecords(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(scan.records.size(), c.records) << c.what;
    EXPECT_EQ(scan.skipped, c.skipped) << c.what;
    EXPECT_EQ(scan.trailingBytes, c.trailing) << c.what;
    EXPECT_EQ(scan.fileBytes, c.bytes.size()) << c.what;
  }
}

TEST(RecordFile, InfoOfAHandComputedRecording) {
  const Bytes file = Recording();
  const RecordInfo info = SummariseRecords(ScanRecords(file.data(), file.size()));
  EXPECT_EQ(FormatRecordInfo(info, "t.hj"),
            "file: t.hj\n"
            "bytes: 436\n"
            "records: 3\n"
            "skipped records: 1\n"
            "trailing bytes: 40\n"
            "time: 2014-03-05T09:30:07Z to 2014-03-05T09:31:07Z (60 s)\n"
            "records with a GPS fix: 2\n"
            "first position: 22.515625, 113.281250\n"
            "last position: 22.500000, 113.250000\n"
            "highest altitude: 150.0\n"
            "voltage: 10.000 to 11.099 V\n");
  EXPECT_EQ(
      RecordInfoJson(info, "t.hj"),
      "{\"file\":\"t.hj\",\"bytes\":436,\"records\":3,\"skipped\":1,\"trailing_bytes\":40,"
      "\"first_time\":\"2014-03-05T09:30:07Z\",\"last_time\":\"2014-03-05T09:31:07Z\",\"seconds\":60,"
      "\"fixes\":2,\"first_latitude\":\"22.515625\",\"first_longitude\":\"113.281250\","
      "\"last_latitude\":\"22.500000\",\"last_longitude\":\"113.250000\",\"highest_altitude\":\"150.0\","
      "\"lowest_voltage\":\"10.000\",\"highest_voltage\":\"11.099\"}");
}

TEST(RecordFile, InfoWithoutFixOrDate) {
  Fields f;
  f.mo = 13;  // no such month
  const Bytes r = Record(f);
  const std::string text = FormatRecordInfo(SummariseRecords(ScanRecords(r.data(), r.size())), "x.hj");
  EXPECT_NE(text.find("time: none"), std::string::npos) << text;
  EXPECT_NE(text.find("position: none"), std::string::npos) << text;
  const Bytes none;
  const std::string empty = RecordInfoJson(SummariseRecords(ScanRecords(none.data(), 0)), "e.hj");
  EXPECT_NE(empty.find("\"highest_altitude\":null"), std::string::npos) << empty;
}

TEST(RecordFile, CsvHasAHeaderAndOneRowPerGoodRecord) {
  const Bytes file = Recording();
  const std::string csv = ExportRecords(ScanRecords(file.data(), file.size()), ExportFormat::Csv, "t");
  const std::string header =
      "record,utc_time,latitude,longitude,altitude,course,voltage,version,attitude,satellites,"
      "flight_status,rudder,rudder_colour,aileron,aileron_colour,elevator,elevator_colour,"
      "throttle,throttle_colour,pdop,velocity_x_cm_s,velocity_y_cm_s,install_error_captured,gps_fix\n";
  EXPECT_EQ(csv, header +
                     "1,2014-03-05T09:30:07Z,22.515625,113.281250,123.4,0.0,10.000,112345,\"L 3,D 5\",8,0,"
                     "1,green,0,green,0,green,50,green,0.0,0,0,0,1\n"
                     "2,2014-03-05T09:30:08Z,22.500000,113.250000,-100.0,0.0,11.099,112345,\"L 3,D 5\",9,0,"
                     "3,red,0,green,0,green,50,green,0.0,0,0,0,1\n"
                     "3,2014-03-05T09:31:07Z,0.000000,0.000000,150.0,0.0,10.498,112345,\"L 0,U 0\",0,0,"
                     "0,green,0,green,0,green,1,yellow,0.0,0,0,0,0\n");
}

TEST(RecordFile, GpxAndKmlCarryTheRecordsWithAFix) {
  const Bytes file = Recording();
  const RecordScan scan = ScanRecords(file.data(), file.size());
  EXPECT_EQ(ExportRecords(scan, ExportFormat::Gpx, "a<b"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<gpx version=\"1.1\" creator=\"apdesk\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
            "  <trk>\n    <name>a&lt;b</name>\n    <trkseg>\n"
            "      <trkpt lat=\"22.515625\" "
            "lon=\"113.281250\"><ele>123.4</ele><time>2014-03-05T09:30:07Z</time></trkpt>\n"
            "      <trkpt lat=\"22.500000\" "
            "lon=\"113.250000\"><ele>-100.0</ele><time>2014-03-05T09:30:08Z</time></trkpt>\n"
            "    </trkseg>\n  </trk>\n</gpx>\n");
  const std::string kml = ExportRecords(scan, ExportFormat::Kml, "t");
  EXPECT_NE(
      kml.find("<coordinates>\n          113.281250,22.515625,123.4\n          113.250000,22.500000,-100.0\n"
               "        </coordinates>"),
      std::string::npos)
      << kml;
  EXPECT_NE(kml.find("<LineString>"), std::string::npos);
}

TEST(RecordFile, GpsFixAndDateRules) {
  struct Case {
    const char* what;
    Fields f;
    bool fix;
    bool date;
  } cases[] = {
      {"no satellites",
       [] {
         Fields f;
         f.lat = 1;
         f.lon = 2;
         return f;
       }(),
       false, true},
      {"three satellites",
       [] {
         Fields f;
         f.lat = 1;
         f.lon = 2;
         f.sats = 3;
         return f;
       }(),
       true, true},
      {"at 0,0",
       [] {
         Fields f;
         f.sats = 9;
         return f;
       }(),
       false, true},
      {"off the globe",
       [] {
         Fields f;
         f.lat = 91;
         f.lon = 2;
         f.sats = 9;
         return f;
       }(),
       false, true},
      {"not a number",
       [] {
         Fields f;
         f.lat = __builtin_nanf("");
         f.lon = 2;
         f.sats = 9;
         return f;
       }(),
       false, true},
      {"29 Feb 2015",
       [] {
         Fields f;
         f.yy = 15;
         f.mo = 2;
         f.dd = 29;
         return f;
       }(),
       false, false},
      {"29 Feb 2016",
       [] {
         Fields f;
         f.yy = 16;
         f.mo = 2;
         f.dd = 29;
         return f;
       }(),
       false, true},
      {"day 0",
       [] {
         Fields f;
         f.dd = 0;
         return f;
       }(),
       false, false},
      {"hour 24",
       [] {
         Fields f;
         f.hh = 24;
         return f;
       }(),
       false, false},
  };
  for (const Case& c : cases) {
    const Bytes r = Record(c.f);
    EXPECT_EQ(HasGpsFix(r.data()), c.fix) << c.what;
    EXPECT_EQ(RecordUtcSeconds(r.data()).has_value(), c.date) << c.what;
  }
}

TEST(RecordFile, ReadingAMissingFileSaysSo) {
  RecordScan scan;
  std::string error;
  EXPECT_FALSE(ReadRecordFile("/nonexistent/x.hj", &scan, &error));
  EXPECT_NE(error.find("/nonexistent/x.hj"), std::string::npos) << error;
  const Bytes file = Recording();
  char path[] = "/tmp/apdesk-rf-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, file.data(), file.size()), static_cast<ssize_t>(file.size()));
  close(fd);
  ASSERT_TRUE(ReadRecordFile(path, &scan, &error)) << error;
  EXPECT_EQ(scan.records.size(), 3u);
  EXPECT_EQ(scan.trailingBytes, 40u);
  unlink(path);
}

// Names from the disk may hold any bytes: the JSON and XML made of them stay
// well-formed (bytes that are not UTF-8 and unwritable controls become U+FFFD).
TEST(RecordFile, JsonAndXmlTextsStayWellFormedForAnyBytes) {
  const std::string r = "\xEF\xBF\xBD";  // U+FFFD
  const struct {
    std::string raw, json, xml;
  } cases[] = {
      {"飞行 <1>.hj", "\"飞行 <1>.hj\"", "飞行 &lt;1&gt;.hj"},
      {"a\xFF"
       "b",
       "\"a" + r + "b\"", "a" + r + "b"},
      {"cut\xE4\xB8", "\"cut" + r + r + "\"", "cut" + r + r},
      {"over\xC0\xAF", "\"over" + r + r + "\"", "over" + r + r},
      {"sur\xED\xA0\x80", "\"sur" + r + r + r + "\"", "sur" + r + r + r},
      {"ctl\x01\x1B\t", "\"ctl\\u0001\\u001b\\u0009\"", "ctl" + r + r + "\t"},
      {"\xF0\x9F\x9B\xA9", "\"\xF0\x9F\x9B\xA9\"", "\xF0\x9F\x9B\xA9"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JsonString(c.raw), c.json) << c.raw;
    EXPECT_EQ(XmlEscape(c.raw), c.xml) << c.raw;
  }
}

TEST(RecordFile, ExportFormatNames) {
  EXPECT_EQ(ParseExportFormat("csv"), ExportFormat::Csv);
  EXPECT_EQ(ParseExportFormat("gpx"), ExportFormat::Gpx);
  EXPECT_EQ(ParseExportFormat("kml"), ExportFormat::Kml);
  EXPECT_EQ(ParseExportFormat("CSV"), std::nullopt);
  EXPECT_EQ(ParseExportFormat(""), std::nullopt);
}

}  // namespace
}  // namespace apdesk
