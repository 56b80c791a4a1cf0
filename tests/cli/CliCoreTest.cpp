// apctl's plain parts: the command line, parameter names and the backup file,
// the read-back comparison, the telemetry texts.
#include <gtest/gtest.h>

#include <cstring>

#include "cli/CliArgs.h"
#include "cli/ParamNames.h"
#include "cli/TelemetryText.h"
#include "cmdline/NearName.h"
#include "params/ParameterFile.h"

namespace apdesk::cli {
namespace {

// A "$PAR" sentence with a right sum; offsets are the controller's layout.
ParameterSentence Sentence() {
  ParameterSentence s{};
  std::memcpy(s.data(), "$PAR", 4);
  s[4] = 0x11;          // carried
  s[5] = 0xA4;          // cell count 4, high bits carried
  s[6] = 0x22;          // carried
  s[7] = 81;            // land
  s[9] = 250;           // 5 m/s
  s[12] = 0x33;         // carried
  s[17] = 200;          // gimbal roll -56
  s[22] = 0x44;         // carried
  s[23] = 128;          // gimbal pitch 128
  s[24] = 110;          // pitch
  s[25] = 123;          // 1230 m
  s[26] = 0x55;         // carried
  s[27] = 0x66;         // carried
  s[28] = 50;           // 500 m
  s[32] = 93;           // user-defined 3.72 m/s
  s[33] = 60;           // sway
  s[34] = 3;            // hex-x
  s[38] = 100;          // roll
  s[42] = 0x77;         // carried
  s[43] = 0xC4 | 0x31;  // 400 Hz, 3.60 V, bits 5-4 and 1-0 carried
  unsigned sum = 0;
  for (int i = 0; i < 44; ++i) sum += s[i];
  s[44] = static_cast<std::uint8_t>(sum);
  return s;
}

ParameterView View(const ParameterSentence& s) {
  auto v = DecodeParameterSentence(s.data());
  EXPECT_TRUE(v.has_value());
  return v.value_or(ParameterView{});
}

// What a controller that stores every block it gets sends back.
ParameterSentence Stored(const ParameterSentence& before, const ParameterBlock& b) {
  static constexpr int kOffset[20] = {7,  33, 38, 12, 4,  6,  5,  42, 27, 34,
                                      26, 24, 17, 23, 22, 32, 25, 28, 43, 9};
  ParameterSentence s = before;
  for (int i = 0; i < 20; ++i) s[static_cast<std::size_t>(kOffset[i])] = b[static_cast<std::size_t>(i)];
  unsigned sum = 0;
  for (int i = 0; i < 44; ++i) sum += s[i];
  s[44] = static_cast<std::uint8_t>(sum);
  return s;
}

TEST(CliArgs, GlobalOptionsAndConnections) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
    ConnectSpec::Kind kind;
    std::string path;
    bool json;
    std::size_t commandWords;
  } cases[] = {
      {{"ports"}, true, ConnectSpec::Kind::Usb, "", false, 1},
      {{"--connect", "sim", "--json", "monitor", "--count", "3"}, true, ConnectSpec::Kind::Sim, "", true, 3},
      {{"--connect=serial:/dev/pts/4", "params", "get"},
       true,
       ConnectSpec::Kind::Serial,
       "/dev/pts/4",
       false,
       2},
      {{"--connect", "usb:/dev/hidraw3", "calibrate"},
       true,
       ConnectSpec::Kind::UsbPath,
       "/dev/hidraw3",
       false,
       1},
      {{"--connect", "hidsock:/tmp/s", "calibrate"}, true, ConnectSpec::Kind::HidSock, "/tmp/s", false, 1},
      {{"--connect", "serial:", "ports"}, false, {}, "", false, 0},
      {{"--connect", "bluetooth", "ports"}, false, {}, "", false, 0},
      {{"--connect"}, false, {}, "", false, 0},
      {{"--verbose", "ports"}, false, {}, "", false, 0},
      {{}, false, {}, "", false, 0},
  };
  for (const Case& c : cases) {
    CliOptions o;
    std::string error;
    const bool ok = ParseGlobalOptions(c.args, &o, &error);
    ASSERT_EQ(ok, c.ok) << (c.args.empty() ? "(none)" : c.args[0]) << " " << error;
    if (!ok) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    EXPECT_EQ(o.connect.kind, c.kind);
    EXPECT_EQ(o.connect.path, c.path);
    EXPECT_EQ(o.json, c.json);
    EXPECT_EQ(o.command.size(), c.commandWords);
  }
}

// A slip of the keyboard gets the name meant; a word that is no slip gets
// none, rather than a wrong guess.
TEST(CliArgs, MistypedNamesGetTheNearestOne) {
  const std::vector<std::string> commands = {"ports", "monitor", "inspect", "params", "record", "doctor"};
  const std::vector<std::string> options = {"--json", "--help", "--connect", "--version"};
  struct Case {
    std::string typed;
    const std::vector<std::string>* among;
    std::string meant;  // empty: no suggestion
  } cases[] = {
      {"moniter", &commands, "monitor"},
      {"MONITOR", &commands, "monitor"},
      {"prots", &commands, "ports"},
      {"inpsect", &commands, "inspect"},
      {"recrod", &commands, "record"},
      {"frobnicate", &commands, ""},
      {"p", &commands, ""},
      {"--conect", &options, "--connect"},
      {"--jsno", &options, "--json"},
      {"--verison", &options, "--version"},
      {"--x", &options, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(NearestName(c.typed, *c.among), c.meant) << c.typed;

  CliOptions o;
  std::string error;
  EXPECT_FALSE(ParseGlobalOptions({"--conect", "sim", "ports"}, &o, &error));
  EXPECT_EQ(error, "unknown option --conect (did you mean \"--connect\"?)");
  EXPECT_TRUE(ParseGlobalOptions({"--version"}, &o, &error)) << error;
  EXPECT_TRUE(o.version);

  NamedValue v;
  EXPECT_FALSE(ParseAssignment("max_sped=8", &v, &error));
  EXPECT_EQ(error, "unknown parameter \"max_sped\" (did you mean \"max_speed\"?)");
  EXPECT_FALSE(ParseAssignment("colour=red", &v, &error));
  EXPECT_EQ(error, "unknown parameter \"colour\" (apctl --help lists them)");
}

TEST(CliArgs, CommandOptions) {
  std::vector<std::string> args = {"--count", "5", "--record", "x"};
  std::optional<int> count;
  std::string error;
  ASSERT_TRUE(TakeIntOption(args, "--count", 1, 100, &count, &error));
  EXPECT_EQ(count, 5);
  EXPECT_TRUE(TakeFlag(args, "--record"));
  EXPECT_EQ(args, std::vector<std::string>{"x"});

  for (std::vector<std::string> bad :
       {std::vector<std::string>{"--count", "0"}, {"--count", "abc"}, {"--count"}}) {
    std::optional<int> v;
    EXPECT_FALSE(TakeIntOption(bad, "--count", 1, 100, &v, &error)) << bad[0];
  }
  std::vector<std::string> exportArgs = {"f.hj", "--format=gpx", "-o", "out.gpx"};
  std::optional<std::string> format, out;
  ASSERT_TRUE(TakeStringOption(exportArgs, "--format", "", &format, &error));
  ASSERT_TRUE(TakeStringOption(exportArgs, "-o", "", &out, &error));
  EXPECT_EQ(format, "gpx");
  EXPECT_EQ(out, "out.gpx");
  EXPECT_EQ(exportArgs, std::vector<std::string>{"f.hj"});
}

TEST(ParamNames, NamesOfADecodedSentence) {
  EXPECT_EQ(FormatNamedText(NamedParameters(View(Sentence()))),
            "failsafe=land\n"
            "sway_compensation=60\n"
            "roll_sensitivity=100\n"
            "pitch_sensitivity=110\n"
            "gimbal_roll_sensitivity=-56\n"
            "gimbal_pitch_sensitivity=128\n"
            "servo_frequency=400\n"
            "max_speed=3.72\n"
            "vertical_speed=5\n"
            "volt_alert=3.60\n"
            "cell_count=4\n"
            "altitude_limit=1230\n"
            "distance_limit=500\n"
            "aircraft_type=hex-x\n");
  const std::string json = FormatNamedJson(NamedParameters(View(Sentence())));
  EXPECT_EQ(json.substr(0, 60), "{\"failsafe\":\"land\",\"sway_compensation\":60,\"roll_sensitivity\"");
  EXPECT_NE(json.find("\"aircraft_type\":\"hex-x\"}"), std::string::npos) << json;

  ParameterSentence odd = Sentence();
  odd[7] = 90;   // no such fail-safe
  odd[9] = 150;  // no such vertical speed
  odd[34] = 12;  // a type without a name
  odd[44] = 0;
  unsigned sum = 0;
  for (int i = 0; i < 44; ++i) sum += odd[i];
  odd[44] = static_cast<std::uint8_t>(sum);
  const std::string text = FormatNamedText(NamedParameters(View(odd)));
  EXPECT_NE(text.find("failsafe=code:90\n"), std::string::npos) << text;
  EXPECT_NE(text.find("vertical_speed=code:150\n"), std::string::npos) << text;
  EXPECT_NE(text.find("aircraft_type=12\n"), std::string::npos) << text;
}

TEST(ParamNames, EditsBecomeTheBlockOrAreRefusedByName) {
  struct Case {
    std::string edit;
    bool ok;
    int byte;             // block byte to check when ok
    int value;            // its value
    std::string message;  // part of the refusal
  } cases[] = {
      {"failsafe=hover", true, 0, 82, ""},
      {"failsafe=code:81", true, 0, 81, ""},  // the code already held
      {"failsafe=code:85", false, 0, 0, "failsafe: \"code:85\" is not return-land, land or hover"},
      {"max_speed=4.8", true, 15, 120, ""},
      {"max_speed=5", true, 15, 125, ""},
      {"max_speed=3.72", true, 15, 93, ""},
      {"max_speed=10.3", false, 0, 0, "max_speed: \"10.3\" is not a number from 0 to 10.2"},
      {"altitude_limit=1500", true, 16, 150, ""},
      {"altitude_limit=1501", false, 0, 0, "altitude_limit: \"1501\" is not a number from 0 to 1500"},
      {"distance_limit=-1", false, 0, 0, "distance_limit: \"-1\" is not a number from 0 to 1500"},
      {"gimbal_roll_sensitivity=-127", true, 12, 129, ""},
      {"gimbal_pitch_sensitivity=129", false, 0, 0,
       "gimbal_pitch_sensitivity: \"129\" is not a number from -127 to 128"},
      {"sway_compensation=256", false, 0, 0, "sway_compensation: \"256\" is not a number from 0 to 255"},
      {"roll_sensitivity=abc", false, 0, 0, "roll_sensitivity: \"abc\" is not a number"},
      {"cell_count=6", true, 6, 0xA6, ""},
      {"cell_count=16", false, 0, 0, "cell_count: \"16\" is not a number from 0 to 15"},
      {"servo_frequency=50", true, 18, 0x35, ""},
      {"servo_frequency=60", false, 0, 0, "servo_frequency: \"60\" is not 50, 250, 333 or 400"},
      {"volt_alert=3.7", true, 18, 0xFD, ""},
      {"vertical_speed=2", true, 19, 100, ""},
      {"vertical_speed=3", false, 0, 0, "vertical_speed: \"3\" is not 2, 4 or 5"},
      {"aircraft_type=quad-cross", true, 9, 0, ""},
      {"aircraft_type=7", true, 9, 7, ""},
      {"aircraft_type=10", true, 9, 10, ""},
      {"aircraft_type=9", false, 0, 0,
       "aircraft_type: \"9\" is not quad-cross, quad-x, hex-cross or hex-x or a code 0 to 8 or 10"},
  };
  for (const Case& c : cases) {
    NamedValue v;
    std::string error;
    ASSERT_TRUE(ParseAssignment(c.edit, &v, &error)) << c.edit << error;
    ParameterBlock block{};
    const bool ok = BlockWithEdits(Sentence(), {v}, &block, &error);
    ASSERT_EQ(ok, c.ok) << c.edit << ": " << error;
    if (ok) {
      EXPECT_EQ(block[static_cast<std::size_t>(c.byte)], c.value) << c.edit;
    } else {
      EXPECT_NE(error.find(c.message), std::string::npos) << c.edit << ": " << error;
    }
  }
  NamedValue v;
  std::string error;
  EXPECT_FALSE(ParseAssignment("speed=3", &v, &error));
  EXPECT_NE(error.find("unknown parameter \"speed\""), std::string::npos);
  EXPECT_FALSE(ParseAssignment("max_speed", &v, &error));
}

TEST(ParamNames, UntouchedBlockGivesTheSameSentenceBack) {
  // A Send with no edit must leave every byte, carried or named, as it was.
  ParameterBlock block{};
  std::string error;
  ASSERT_TRUE(BlockWithEdits(Sentence(), {}, &block, &error)) << error;
  EXPECT_EQ(Stored(Sentence(), block), Sentence());
  EXPECT_TRUE(CompareReadBack(block, Sentence()).empty());
}

TEST(ParamNames, ReadBackNamesWhatTheControllerDidNotTake) {
  NamedValue v;
  std::string error;
  ASSERT_TRUE(ParseAssignment("max_speed=8.0", &v, &error));
  ParameterBlock block{};
  ASSERT_TRUE(BlockWithEdits(Sentence(), {v}, &block, &error));
  EXPECT_TRUE(CompareReadBack(block, Stored(Sentence(), block)).empty());

  const std::vector<std::string> stale = CompareReadBack(block, Sentence());
  ASSERT_EQ(stale.size(), 1u);
  EXPECT_EQ(stale[0], "max_speed: the controller reports 3.72 (byte 93), not byte 200 as written");

  ParameterBlock carried = block;
  carried[7] ^= 1;  // sentence byte 42
  const std::vector<std::string> lost = CompareReadBack(carried, Stored(Sentence(), block));
  ASSERT_EQ(lost.size(), 1u);
  EXPECT_NE(lost[0].find("carried-over byte 7"), std::string::npos) << lost[0];
}

TEST(ParamNames, BackupFileRoundTripRestoresEveryByte) {
  const std::string text = FormatParameterFile(View(Sentence()));
  ParameterFile file;
  std::string error;
  ASSERT_TRUE(ParseParameterFile(text, &file, &error)) << error;
  EXPECT_EQ(file.values.size(), 14u);
  ParameterBlock block{};
  ASSERT_TRUE(BlockFromParameterFile(file, &block, &error)) << error;
  // Loaded into a controller holding something else entirely, the sentence
  // comes back as it was saved.
  ParameterSentence other{};
  std::memcpy(other.data(), "$PAR", 4);
  EXPECT_EQ(Stored(other, block), Sentence());

  // A person's edit of a named value wins over the sentence.
  std::string edited = text;
  edited.replace(edited.find("cell_count=4"), 12, "cell_count=6");
  ASSERT_TRUE(ParseParameterFile(edited, &file, &error)) << error;
  ASSERT_TRUE(BlockFromParameterFile(file, &block, &error)) << error;
  EXPECT_EQ(block[6], 0xA6);
}

TEST(ParamNames, DamagedBackupFileIsRefusedNamingTheLine) {
  const std::string good = FormatParameterFile(View(Sentence()));
  auto replaceLine = [&good](const std::string& start, const std::string& with) {
    std::string t = good;
    const auto at = t.find("\n" + start) + 1;
    t.replace(at, t.find('\n', at) - at, with);
    return t;
  };
  // Lines 1-3 are comments; the named values are lines 4-17, the sentence 18.
  struct Case {
    std::string text;
    bool parses;
    std::string message;
  } cases[] = {
      {replaceLine("cell_count", "cell_count"), false, "line 14: \"cell_count\" is not NAME=VALUE"},
      {replaceLine("cell_count", "cells=4"), false, "line 14: unknown parameter \"cells\""},
      {replaceLine("cell_count", "failsafe=land"), false,
       "line 14: failsafe is given twice (first on line 4)"},
      {replaceLine("sentence", "sentence=2450"), false, "line 18: the sentence must be 90 hex digits"},
      {replaceLine("sentence", "sentence=" + std::string(90, 'z')), false,
       "line 18: the sentence holds something other"},
      {replaceLine("sentence", "sentence=" + std::string(90, '0')), false,
       "line 18: the sentence is damaged"},
      {replaceLine("sentence", "# no sentence"), false, "the file ends without its \"sentence=\" line"},
      {replaceLine("altitude_limit", "altitude_limit=2000"), true,
       "line 15: altitude_limit: \"2000\" is not a number from 0 to 1500"},
      {replaceLine("servo_frequency", "servo_frequency=1"), true,
       "line 10: servo_frequency: \"1\" is not 50"},
  };
  for (const Case& c : cases) {
    ParameterFile file;
    std::string error;
    const bool parsed = ParseParameterFile(c.text, &file, &error);
    ASSERT_EQ(parsed, c.parses) << c.message << " / " << error;
    if (parsed) {
      ParameterBlock block{};
      EXPECT_FALSE(BlockFromParameterFile(file, &block, &error)) << c.message;
    }
    EXPECT_NE(error.find(c.message), std::string::npos) << "want: " << c.message << "\n got: " << error;
  }
}

TEST(TelemetryText, CarriesTheWindowTexts) {
  std::uint8_t s[99] = {};
  std::memcpy(s, "$STP", 4);
  const float lat = 22.54321f, lon = 114.0f;
  std::memcpy(s + 4, &lat, 4);
  std::memcpy(s + 8, &lon, 4);
  s[24] = 9;
  s[32] = 129;  // rudder 1 green against centre 128
  s[80] = 128;
  s[33] = 131;  // aileron 3 red
  s[81] = 128;
  s[35] = 150;  // throttle 50 green
  const std::int32_t up = -5, left = 3;
  std::memcpy(s + 62, &up, 4);
  std::memcpy(s + 66, &left, 4);
  s[70] = 0x00;  // 2048 -> 10.000 V
  s[71] = 0x08;
  s[75] = 15;  // shown as entry 12
  const TelemetryView v = DecodeStatusSentence(s, AttitudeLabels{}, false);
  const std::string json = TelemetryJson(v);
  for (const char* part :
       {"\"latitude\":\"22.543209\"", "\"voltage\":\"10.000\"", "\"attitude\":\"L 3,D 5\"",
        "\"flight_status\":12", "\"flight_status_text\":\"Manual Set Altitude\"",
        "\"rudder\":{\"value\":1,\"colour\":\"green\"}", "\"aileron\":{\"value\":3,\"colour\":\"red\"}",
        "\"throttle\":{\"value\":50,\"colour\":\"green\"}", "\"satellites\":\"9\""}) {
    EXPECT_NE(json.find(part), std::string::npos) << part << " in " << json;
  }
  EXPECT_NE(TelemetryLine(v).find("attitude L 3,D 5 status 12 (Manual Set Altitude)"), std::string::npos)
      << TelemetryLine(v);
  EXPECT_EQ(FlightStatusName(13), nullptr);
  EXPECT_EQ(JsonString("a\"b\\\n"), "\"a\\\"b\\\\\\u000a\"");
}

}  // namespace
}  // namespace apdesk::cli

namespace apdesk::cli {
namespace {

// The help's list of names and values is written by hand: it must name every
// parameter of the table, with the values apctl takes for it.
TEST(CliHelp, ListsEveryParameterOfTheTable) {
  const std::string help = HelpText({});
  const std::size_t list = help.find("parameter names and values:\n");
  ASSERT_NE(list, std::string::npos);
  for (const ParameterFacts& facts : ParameterTable()) {
    const std::size_t at = help.find("\n  " + std::string(facts.name) + " ", list);
    ASSERT_NE(at, std::string::npos) << facts.name;
    const std::string line = help.substr(at + 1, help.find('\n', at + 1) - at - 1);
    for (const ParameterChoice& choice : facts.choices) {
      if (choice.word != nullptr) {
        EXPECT_NE(line.find(choice.word), std::string::npos) << line;
      }
    }
    if (facts.choices.empty()) {
      EXPECT_NE(line.find(facts.highestText), std::string::npos) << line;
    }
  }
}

}  // namespace
}  // namespace apdesk::cli

namespace apdesk::cli {
namespace {

// The table's texts as --help lays them out and as roff for the manual page.
TEST(CliHelp, CommandTableMakesTheHelpAndTheManualPage) {
  const std::vector<Command> table = {
      {"ports", nullptr, {{"ports", "what is plugged in", ""}}},
      {"record",
       nullptr,
       {{"record export FILE [-o OUT]", "first line\nsecond line", ".starts like a request"},
        {"record export FILE|DIR... --format F --out-dir OUT", "", ""}},
       "Every write\nkeeps a snapshot."},
  };
  EXPECT_EQ(CommandsHelp(table),
            "commands:\n"
            "  ports                               what is plugged in\n"
            "  record export FILE [-o OUT]         first line\n"
            "                                      second line\n"
            "  record export FILE|DIR... --format F --out-dir OUT\n"
            "  Every write\n"
            "  keeps a snapshot.\n");
  EXPECT_EQ(CommandsManual(table),
            ".TP\n\\fBports\\fR\nWhat is plugged in.\n"
            ".TP\n\\fBrecord\\fR \\fBexport\\fR \\fIFILE\\fR [\\fB\\-o\\fR \\fIOUT\\fR]\n"
            "\\&.starts like a request\n"
            ".TP\n\\fBrecord\\fR \\fBexport\\fR \\fIFILE\\fR|\\fIDIR...\\fR \\fB\\-\\-format\\fR \\fIF\\fR "
            "\\fB\\-\\-out\\-dir\\fR \\fIOUT\\fR\n"
            ".IP\nEvery write keeps a snapshot.\n");
  EXPECT_EQ(CommandNames(table), "ports\nrecord\n");
  // A help line longer than its column would run into the usage: the usage
  // then stands alone.
  const std::vector<Command> wide = {{"x", nullptr, {{"abcdefghijklmnopqrstuvwxyz012345678", "h", ""}}}};
  EXPECT_EQ(CommandsHelp(wide),
            "commands:\n  abcdefghijklmnopqrstuvwxyz012345678\n                                      h\n");
}

// Every form the help texts list is one the parser takes, and the other way round.
TEST(CliHelp, ConnectFormsAreWhatTheParserTakes) {
  EXPECT_EQ(ConnectFormsText(), "usb, usb:PATH, serial:PORT, hidsock:PATH or sim");
  EXPECT_EQ(ConnectFormsChoice(), "usb|usb:PATH|serial:PORT|hidsock:PATH|sim");
  std::vector<ConnectTarget::Kind> kinds;
  for (const ConnectForm& f : ConnectForms()) {
    std::string text = f.form;
    const std::size_t colon = text.find(':');
    if (colon != std::string::npos) text = text.substr(0, colon + 1) + "/dev/x";
    const std::optional<ConnectTarget> target = ParseConnectTarget(text);
    ASSERT_TRUE(target.has_value()) << f.form;
    EXPECT_EQ(target->path, colon == std::string::npos ? "" : "/dev/x") << f.form;
    kinds.push_back(target->kind);
    EXPECT_FALSE(std::string(f.meaning).empty()) << f.form;
  }
  using K = ConnectTarget::Kind;
  EXPECT_EQ(kinds, (std::vector<K>{K::Usb, K::UsbPath, K::Serial, K::HidSock, K::Sim}));
}

}  // namespace
}  // namespace apdesk::cli
