#include "recorder/RecordFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
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
            "distance: 3650 m\n"
            "highest altitude: 150.0\n"
            "voltage: 10.000 to 11.099 V\n");
  EXPECT_EQ(RecordInfoJson(info, "t.hj"),
            "{\"file\":\"t.hj\",\"bytes\":436,\"records\":3,\"skipped\":1,\"trailing_bytes\":40,"
            "\"first_time\":\"2014-03-05T09:30:07Z\",\"last_time\":\"2014-03-05T09:31:07Z\",\"seconds\":60,"
            "\"fixes\":2,\"first_latitude\":\"22.515625\",\"first_longitude\":\"113.281250\","
            "\"last_latitude\":\"22.500000\",\"last_longitude\":\"113.250000\",\"distance_m\":3650.2,"
            "\"highest_altitude\":\"150.0\","
            "\"lowest_voltage\":\"10.000\",\"highest_voltage\":\"11.099\"}");
}

// Ten fixes a second for five minutes: GPS noise must not add up to
// kilometres while the aircraft stands, nor be lost from a real flight.
TEST(RecordFile, DistanceLeavesOutGpsNoise) {
  constexpr double kMetresPerDegree = 6371000.0 * 3.14159265358979323846 / 180;
  struct Case {
    const char* what;
    double northPerSecond, eastPerSecond;  // metres
    double lowest, highest;                // the distance expected
  } cases[] = {
      {"standing still", 0, 0, 0, 15},
      {"a straight kilometre north", 1000.0 / 300, 0, 985, 1005},
      {"a straight kilometre east", 0, 1000.0 / 300, 985, 1005},
      {"a slow walk, 0.5 m/s (and the wander)", 0.5, 0, 140, 165},
  };
  for (const Case& c : cases) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> jitter(-1.0, 1.0);  // metres
    Bytes file;
    for (int i = 0; i < 3000; ++i) {
      const double t = i / 10.0;
      // A hovering receiver's wander (3 m) plus its jitter.
      const double north = c.northPerSecond * t + 3 * std::sin(t / 11) + jitter(random);
      const double east = c.eastPerSecond * t + 3 * std::cos(t / 14) + jitter(random);
      Fields f;
      f.sats = 9;
      f.lat = static_cast<float>(22.543096 + north / kMetresPerDegree);
      f.lon = static_cast<float>(114.057865 + east / (kMetresPerDegree * std::cos(22.543096 / 57.29577951)));
      f.mi = 30 + i / 600;
      f.ss = i / 10 % 60;
      const Bytes r = Record(f);
      file.insert(file.end(), r.begin(), r.end());
    }
    const RecordInfo info = SummariseRecords(ScanRecords(file.data(), file.size()));
    EXPECT_GE(info.distanceMetres, c.lowest) << c.what;
    EXPECT_LE(info.distanceMetres, c.highest) << c.what;
    const std::string json = RecordInfoJson(info, "d.hj");
    EXPECT_NE(json.find(FormatText("\"distance_m\":%.1lf,", info.distanceMetres)), std::string::npos) << json;
  }
}

// The shortcuts that spare the trigonometry must decide every fix as the
// great-circle distance itself would: the sum is the same to the last bit.
TEST(RecordFile, DistanceShortcutsAgreeWithTheGreatCircle) {
  struct Case {
    const char* what;
    double latitude, longitude;
    double step;  // metres per fix, at most
  } cases[] = {
      {"slow, mid latitudes", 22.5, 114.0, 1.0}, {"about the radius per fix", 48.0, -3.0, 12.0},
      {"near the pole", 89.99, 10.0, 3.0},       {"across the date line", -40.0, 179.9999, 2.0},
      {"on the equator", 0.0, 0.0, 6.0},
  };
  constexpr double kDegreesPerMetre = 180 / (3.14159265358979323846 * 6371000.0);
  for (const Case& c : cases) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> move(-c.step, c.step);
    TrackDistance shortcut;
    // The rule itself, every fix measured on the great circle.
    bool started = false;
    double lastLat = 0, lastLon = 0, metres = 0;
    double lat = c.latitude, lon = c.longitude;
    for (int i = 0; i < 20000; ++i) {
      lat = std::clamp(lat + move(random) * kDegreesPerMetre, -90.0, 90.0);
      lon += move(random) * kDegreesPerMetre / std::max(0.01, std::cos(lat / 57.29577951)) +
             0.2 * c.step * kDegreesPerMetre;
      shortcut.Add(lat, lon);
      if (!started) {
        started = true;
        lastLat = lat, lastLon = lon;
        continue;
      }
      const double leg = TrackDistance::Between(lastLat, lastLon, lat, lon);
      if (leg <= TrackDistance::kNoiseRadiusMetres) continue;
      metres += leg;
      lastLat = lat, lastLon = lon;
    }
    EXPECT_GT(metres, 0) << c.what;
    EXPECT_EQ(shortcut.Metres(), metres) << c.what;
  }
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
  EXPECT_NE(empty.find("\"distance_m\":null"), std::string::npos) << empty;
}

TEST(RecordFile, CsvAndJsonLinesHaveOneRowPerGoodRecordNamingItsFile) {
  const Bytes file = Recording();
  const RecordScan scan = ScanRecords(file.data(), file.size());
  const std::string csv = ExportRecords(scan, ExportFormat::Csv, "a,b.hj");
  const std::string header =
      "file,record,utc_time,latitude,longitude,altitude,course,voltage,version,attitude,satellites,"
      "flight_status,rudder,rudder_colour,aileron,aileron_colour,elevator,elevator_colour,"
      "throttle,throttle_colour,pdop,velocity_x_cm_s,velocity_y_cm_s,install_error_captured,gps_fix\n";
  EXPECT_EQ(csv,
            header +
                "\"a,b.hj\",1,2014-03-05T09:30:07Z,22.515625,113.281250,123.4,0.0,10.000,112345,\"L 3,D "
                "5\",8,0,1,green,0,green,0,green,50,green,0.0,0,0,0,1\n"
                "\"a,b.hj\",2,2014-03-05T09:30:08Z,22.500000,113.250000,-100.0,0.0,11.099,112345,\"L 3,D "
                "5\",9,0,3,red,0,green,0,green,50,green,0.0,0,0,0,1\n"
                "\"a,b.hj\",3,2014-03-05T09:31:07Z,0.000000,0.000000,150.0,0.0,10.498,112345,\"L 0,U "
                "0\",0,0,0,green,0,green,0,green,1,yellow,0.0,0,0,0,0\n");
  const std::string jsonl = ExportRecords(scan, ExportFormat::Jsonl, "t\".hj");
  EXPECT_EQ(
      jsonl.substr(0, jsonl.find('\n') + 1),
      "{\"file\":\"t\\\".hj\",\"record\":1,\"utc_time\":\"2014-03-05T09:30:07Z\",\"latitude\":22.515625,"
      "\"longitude\":113.281250,\"altitude\":123.4,\"course\":0.0,\"voltage\":10.000,\"version\":112345,"
      "\"attitude\":\"L 3,D 5\",\"satellites\":8,\"flight_status\":0,\"rudder\":1,\"rudder_colour\":"
      "\"green\",\"aileron\":0,\"aileron_colour\":\"green\",\"elevator\":0,\"elevator_colour\":\"green\","
      "\"throttle\":50,\"throttle_colour\":\"green\",\"pdop\":0.0,\"velocity_x_cm_s\":0,"
      "\"velocity_y_cm_s\":0,\"install_error_captured\":0,\"gps_fix\":1}\n");
  EXPECT_EQ(std::count(jsonl.begin(), jsonl.end(), '\n'), 3);
}

TEST(RecordFile, JsonLinesWritesNullForWhatJsonCannotHold) {
  Fields f;
  f.lat = __builtin_nanf("");
  f.lon = __builtin_inff();
  f.mo = 13;  // no time
  const Bytes r = Record(f);
  const std::string jsonl = ExportRecords(ScanRecords(r.data(), r.size()), ExportFormat::Jsonl, "x");
  EXPECT_NE(jsonl.find("\"utc_time\":null,\"latitude\":null,\"longitude\":null,"), std::string::npos)
      << jsonl;
}

// The exports format coordinates and voltage without printf; they must say
// exactly what printf says, ties and all.
TEST(RecordFile, NumbersAreWhatPrintfWouldWrite) {
  std::mt19937 gen(11);
  std::vector<float> coordinates = {0.0f,         -0.0f, 22.515625f, -113.28125f, 0.0078125f,  -0.0078125f,
                                    179.9999995f, 1e-7f, -1e-30f,    3e38f,       16777216.0f, 1e10f};
  for (int n = -2000; n <= 2000; ++n) coordinates.push_back(static_cast<float>(n) / 128.0f);  // exact ties
  std::uniform_real_distribution<float> globe(-180.0f, 180.0f);
  for (int i = 0; i < 40000; ++i) coordinates.push_back(globe(gen));
  for (int i = 0; i < 20000; ++i) {
    const std::uint32_t bits = gen();
    float v;
    std::memcpy(&v, &bits, sizeof v);
    if (std::isfinite(v)) coordinates.push_back(v);
  }
  Bytes file;
  std::vector<int> volts;
  for (std::size_t i = 0; i < std::max<std::size_t>(coordinates.size(), 65536); ++i) {
    Fields f;
    f.lat = coordinates[i % coordinates.size()];
    f.lon = coordinates[(i * 7 + 3) % coordinates.size()];
    f.voltage = static_cast<std::uint16_t>(i);
    volts.push_back(SignedReading16(static_cast<std::uint16_t>(i)));
    const Bytes r = Record(f);
    file.insert(file.end(), r.begin(), r.end());
  }
  const RecordScan scan = ScanRecords(file.data(), file.size());
  const std::string csv = ExportRecords(scan, ExportFormat::Csv, "f");
  std::istringstream lines(csv);
  std::string line;
  std::getline(lines, line);  // the header
  std::size_t row = 0, mismatches = 0;
  char expected[400];
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; fields.size() < 8 && std::getline(cells, cell, ',');) fields.push_back(cell);
    ASSERT_EQ(fields.size(), 8u) << line;
    const StatusFields f = ReadStatusFields(scan.records[row].data());
    std::snprintf(expected, sizeof expected, "%.6f", static_cast<double>(f.latitude));
    if (fields[3] != expected && mismatches++ < 5) ADD_FAILURE() << fields[3] << " != " << expected;
    std::snprintf(expected, sizeof expected, "%.6f", static_cast<double>(f.longitude));
    if (fields[4] != expected && mismatches++ < 5) ADD_FAILURE() << fields[4] << " != " << expected;
    std::snprintf(expected, sizeof expected, "%.3f", f.Volts());
    if (fields[7] != expected && mismatches++ < 5) ADD_FAILURE() << fields[7] << " != " << expected;
    ++row;
  }
  EXPECT_EQ(row, scan.records.size());
  EXPECT_EQ(mismatches, 0u);
}

TEST(RecordFile, GpxAndKmlCarryTheRecordsWithAFixAndTheirTime) {
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
  EXPECT_NE(kml.find("<gx:Track>\n        <altitudeMode>absolute</altitudeMode>\n"
                     "        <when>2014-03-05T09:30:07Z</when>\n        <when>2014-03-05T09:30:08Z</when>\n"
                     "        <gx:coord>113.281250 22.515625 123.4</gx:coord>\n"
                     "        <gx:coord>113.250000 22.500000 -100.0</gx:coord>\n      </gx:Track>"),
            std::string::npos)
      << kml;
  EXPECT_EQ(kml.find("<LineString>"), std::string::npos) << "every fix has a time";

  // A fix without a valid time cannot be in the timed track: it is kept as a line.
  Fields untimed;
  untimed.lat = 1.5f;
  untimed.lon = 2.5f;
  untimed.sats = 7;
  untimed.hh = 24;
  const Bytes more = Joined({file, Record(untimed)});
  const std::string both = ExportRecords(ScanRecords(more.data(), more.size()), ExportFormat::Kml, "t");
  EXPECT_NE(both.find("<name>t (no GPS time)</name>\n      <LineString>\n        <altitudeMode>absolute"
                      "</altitudeMode>\n        <coordinates>\n          2.500000,1.500000,0.0\n"),
            std::string::npos)
      << both;
  EXPECT_EQ(std::count(both.begin(), both.end(), '<') - std::count(kml.begin(), kml.end(), '<'), 10)
      << "the timed track is as before; one more placemark with one line";
}

// Records of one second share it as a replay plays them: ten a second get
// ten different times, in GPX and KML alike; a second with one record keeps
// its whole time.
TEST(RecordFile, GpxAndKmlSpreadTheRecordsOfOneSecondOverIt) {
  Bytes file;
  for (int i = 0; i < 11; ++i) {
    Fields f;
    f.lat = 22.5f;
    f.lon = 113.25f;
    f.sats = i == 3 ? 0 : 9;  // a record without a fix still takes its share
    f.ss = 7 + i / 10;
    const Bytes r = Record(f);
    file.insert(file.end(), r.begin(), r.end());
  }
  const RecordScan scan = ScanRecords(file.data(), file.size());
  const std::string gpx = ExportRecords(scan, ExportFormat::Gpx, "t");
  const std::string kml = ExportRecords(scan, ExportFormat::Kml, "t");
  for (const char* time :
       {"09:30:07Z", "09:30:07.100Z", "09:30:07.200Z", "09:30:07.400Z", "09:30:07.900Z", "09:30:08Z"}) {
    EXPECT_NE(gpx.find(std::string("<time>2014-03-05T") + time + "</time>"), std::string::npos) << time;
    EXPECT_NE(kml.find(std::string("<when>2014-03-05T") + time + "</when>"), std::string::npos) << time;
  }
  EXPECT_EQ(gpx.find("07.300Z"), std::string::npos) << "the record without a fix is not in the track";
  std::size_t points = 0;
  for (std::size_t at = gpx.find("<trkpt"); at != std::string::npos; at = gpx.find("<trkpt", at + 1))
    ++points;
  EXPECT_EQ(points, 10u) << gpx;
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

// Names from the disk may hold any bytes: the JSON, XML and CSV made of them
// stay well-formed (bytes that are not UTF-8 and unwritable controls become U+FFFD).
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
  const Bytes one = Record(Fields{});
  const RecordScan scan = ScanRecords(one.data(), one.size());
  for (const auto& c : cases) {
    EXPECT_EQ(JsonString(c.raw), c.json) << c.raw;
    EXPECT_EQ(XmlEscape(c.raw), c.xml) << c.raw;
    // The CSV's file column: the XML's text where it has no markup or controls.
    if (c.raw.find_first_of("<\x01") != std::string::npos) continue;
    const std::string csv = ExportRecords(scan, ExportFormat::Csv, c.raw);
    const std::size_t row = csv.find('\n') + 1;
    EXPECT_EQ(csv.substr(row, c.xml.size() + 1), c.xml + ",") << c.raw;
  }
}

// A file of some megabytes with damage of every kind, some of it across the
// reader's block boundaries, written to a temporary file.
class LargeRecordFile : public ::testing::Test {
 protected:
  void SetUp() override {
    Fields f;
    f.lat = 22.5f;
    f.lon = 113.25f;
    f.sats = 8;
    std::size_t records = 0;
    while (bytes_.size() < 3 * (std::size_t{1} << 20) + 5000) {
      f.altitude = static_cast<std::uint16_t>(records % 3000);
      f.voltage = static_cast<std::uint16_t>(2000 + records % 300);
      f.ss = static_cast<int>(records / 10 % 60);
      f.mi = static_cast<int>(records / 600 % 60);
      f.sats = records % 500 < 20 ? 2 : 8;  // now and then no fix
      const Bytes r = Record(f, records % 997 != 5);
      // Cut-off records and stray bytes, placed so some straddle each megabyte.
      const std::size_t mb = std::size_t{1} << 20;
      const std::size_t toBoundary = mb - bytes_.size() % mb;
      if (records % 1201 == 7 || (toBoundary < 99 && toBoundary > 3 && records % 2 == 0)) {
        bytes_.insert(bytes_.end(), r.begin(), r.begin() + 37);
      } else if (records % 1703 == 11) {
        bytes_.insert(bytes_.end(), {'$', 'S', 'T'});
      }
      bytes_.insert(bytes_.end(), r.begin(), r.end());
      ++records;
    }
    bytes_.insert(bytes_.end(), {'$', 'S', 'T', 'P', 1, 2});
    char path[] = "/tmp/apdesk-rf-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, bytes_.data(), bytes_.size()), static_cast<ssize_t>(bytes_.size()));
    close(fd);
    path_ = path;
  }
  void TearDown() override { unlink(path_.c_str()); }

  Bytes bytes_;
  std::string path_;
};

TEST_F(LargeRecordFile, StreamingReadsWhatAWholeScanFinds) {
  const RecordScan whole = ScanRecords(bytes_.data(), bytes_.size());
  ASSERT_GT(whole.records.size(), 30000u);
  ASSERT_GT(whole.skipped, 40u);
  EXPECT_EQ(whole.trailingBytes, 6u);
  RecordReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(path_, &error)) << error;
  std::size_t i = 0;
  while (const std::uint8_t* r = reader.Next()) {
    ASSERT_LT(i, whole.records.size());
    ASSERT_EQ(std::memcmp(r, whole.records[i].data(), kRecordSize), 0) << "record " << i;
    ++i;
  }
  EXPECT_FALSE(reader.ReadFailed());
  EXPECT_EQ(i, whole.records.size());
  EXPECT_EQ(reader.Records(), whole.records.size());
  EXPECT_EQ(reader.Skipped(), whole.skipped);
  EXPECT_EQ(reader.TrailingBytes(), whole.trailingBytes);
  EXPECT_EQ(reader.BytesRead(), bytes_.size());
}

TEST_F(LargeRecordFile, StreamedSummaryAndExportsEqualTheWholeOnes) {
  const RecordScan whole = ScanRecords(bytes_.data(), bytes_.size());
  RecordInfo info;
  std::string error;
  ASSERT_TRUE(SummariseRecordFile(path_, &info, &error)) << error;
  EXPECT_EQ(RecordInfoJson(info, "f"), RecordInfoJson(SummariseRecords(whole), "f"));
  for (ExportFormat format : {ExportFormat::Csv, ExportFormat::Jsonl, ExportFormat::Gpx, ExportFormat::Kml}) {
    std::ostringstream out;
    ExportCounts counts;
    ASSERT_TRUE(ExportRecordFile(path_, format, "f.hj", out, &counts, &error)) << error;
    const std::string expected = ExportRecords(whole, format, "f.hj");
    EXPECT_TRUE(out.str() == expected)
        << ExportFormatName(format) << ": " << out.str().size() << " bytes, expected " << expected.size();
    EXPECT_EQ(counts.records, whole.records.size());
    EXPECT_EQ(counts.skipped, whole.skipped);
    const bool rows = format == ExportFormat::Csv || format == ExportFormat::Jsonl;
    EXPECT_EQ(counts.exported, rows ? whole.records.size() : info.fixes) << ExportFormatName(format);
  }
}

// An export that the disk refuses says why, not a guess.
TEST_F(LargeRecordFile, AnExportToAFullDiskSaysSo) {
  std::ofstream full("/dev/full");
  ExportCounts counts;
  std::string error;
  EXPECT_FALSE(ExportRecordFile(path_, ExportFormat::Csv, "f.hj", full, &counts, &error));
  EXPECT_NE(error.find(": the disk is full"), std::string::npos) << error;
  EXPECT_EQ(error.find("?"), std::string::npos) << error;
}

TEST(RecordFile, WhatIsNoRecordFileIsRefusedWithTheReason) {
  std::string error;
  RecordReader reader;
  EXPECT_FALSE(reader.Open("/tmp", &error));
  EXPECT_EQ(error, "/tmp: a directory, not a record file");
  EXPECT_FALSE(reader.Open("/dev/null", &error));
  EXPECT_EQ(error, "/dev/null: not a regular file");
  EXPECT_FALSE(reader.Open("/nonexistent/x.hj", &error));
  EXPECT_EQ(error, "/nonexistent/x.hj: No such file or directory");
  RecordInfo info;
  EXPECT_FALSE(SummariseRecordFile("/tmp", &info, &error));
  std::ostringstream out;
  ExportCounts counts;
  EXPECT_FALSE(ExportRecordFile("/nonexistent/x.hj", ExportFormat::Csv, "x", out, &counts, &error));
  EXPECT_TRUE(out.str().empty()) << "nothing is written for a file that cannot be read";
}

TEST(RecordFile, ExportFormatNames) {
  EXPECT_EQ(ParseExportFormat("csv"), ExportFormat::Csv);
  EXPECT_EQ(ParseExportFormat("gpx"), ExportFormat::Gpx);
  EXPECT_EQ(ParseExportFormat("kml"), ExportFormat::Kml);
  EXPECT_EQ(ParseExportFormat("jsonl"), ExportFormat::Jsonl);
  for (ExportFormat f : {ExportFormat::Csv, ExportFormat::Jsonl, ExportFormat::Gpx, ExportFormat::Kml})
    EXPECT_EQ(ParseExportFormat(ExportFormatName(f)), f);
  EXPECT_EQ(ParseExportFormat("CSV"), std::nullopt);
  EXPECT_EQ(ParseExportFormat(""), std::nullopt);
}

}  // namespace
}  // namespace apdesk
