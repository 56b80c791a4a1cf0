// apctl against the simulated controller: in-process (--connect sim, with the
// controller's handle kept to look inside it) and over a pseudo-terminal
// served by apsim. Every command, and the ways they fail.
#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/Apctl.h"
#include "cli/CliLink.h"
#include "cli/ExitStatus.h"
#include "cli/FdOutput.h"
#include "protocol/SentenceBytes.h"
#include "sim/SimHidBackend.h"

namespace apdesk::cli {
namespace {

namespace fs = std::filesystem;

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "apctl_test";
    static char* argv[] = {name, nullptr};
    app_ = new QCoreApplication(argc, argv);
    // Every write stores a snapshot: never into the user's own history.
    char data[] = "/tmp/apctl-test-data-XXXXXX";
    if (mkdtemp(data)) {
      data_ = data;
      setenv("XDG_DATA_HOME", data, 1);
    }
  }
  void TearDown() override {
    delete app_;
    std::error_code ignored;
    if (!data_.empty()) fs::remove_all(data_, ignored);
  }

 private:
  QCoreApplication* app_ = nullptr;
  std::string data_;
};
const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Drops the set-parameters frames on their way to the device: a controller
// that answers but does not take what is written. Or, silentAfterSet, one that
// takes them and then says nothing more (it restarted).
class DeafToSetsBackend : public IHidBackend {
 public:
  explicit DeafToSetsBackend(std::unique_ptr<IHidBackend> inner, bool silentAfterSet = false)
      : m_inner(std::move(inner)), m_silentAfterSet(silentAfterSet) {}
  std::vector<HidDeviceInfo> Enumerate(std::uint16_t v, std::uint16_t p) override {
    return m_inner->Enumerate(v, p);
  }
  std::unique_ptr<IHidDevice> OpenPath(const std::string& path) override {
    class Device : public IHidDevice {
     public:
      Device(std::unique_ptr<IHidDevice> d, bool silentAfterSet)
          : m_d(std::move(d)), m_silent(silentAfterSet) {}
      int ReadReport(std::uint8_t* r, int t) override {
        if (m_setSeen.load() && m_silent) {
          usleep(static_cast<useconds_t>(t) * 1000);
          return 0;
        }
        return m_d->ReadReport(r, t);
      }
      int WriteReport(const std::uint8_t* r) override {
        for (int i = 0; i + 6 < 64; ++i) {
          if (std::memcmp(r + i, "$WIFIs", 6) == 0) {
            m_setSeen.store(true);
            if (!m_silent) return 64;
          }
        }
        return m_d->WriteReport(r);
      }
      std::unique_ptr<IHidDevice> m_d;
      const bool m_silent;
      std::atomic<bool> m_setSeen{false};
    };
    auto d = m_inner->OpenPath(path);
    return d ? std::make_unique<Device>(std::move(d), m_silentAfterSet) : nullptr;
  }

 private:
  std::unique_ptr<IHidBackend> m_inner;
  const bool m_silentAfterSet;
};

struct Outcome {
  int status = -1;
  std::string out, err;
  double seconds = 0;
};

class ApctlSim : public ::testing::Test {
 protected:
  void SetUp() override {
    options_.faults.garbage = true;
    hooks_.makeSim = [this](bool bootloader) -> std::unique_ptr<IHidBackend> {
      sim::SimOptions o = options_;
      o.bootloader = bootloader || o.bootloader;
      auto backend = sim::MakeSimHidBackend(o, &handle_);
      if (deafToSets_ || silentAfterSet_)
        return std::make_unique<DeafToSetsBackend>(std::move(backend), silentAfterSet_);
      return backend;
    };
    hooks_.inputIsTerminal = false;
    hooks_.outputIsTerminal = false;
    char tmpl[] = "/tmp/apctl-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  Outcome Apctl(std::vector<std::string> args) {
    std::ostringstream out, err;
    const auto t0 = std::chrono::steady_clock::now();
    Outcome r;
    r.status = RunApctl(args, out, err, hooks_);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.out = out.str();
    r.err = err.str();
    return r;
  }
  Outcome Sim(std::vector<std::string> args) {
    args.insert(args.begin(), {"--connect", "sim"});
    return Apctl(args);
  }

  sim::SimOptions options_;
  CliHooks hooks_;
  std::shared_ptr<sim::SimHandle> handle_;
  bool deafToSets_ = false;
  bool silentAfterSet_ = false;
  std::string dir_;
};

int Lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST_F(ApctlSim, HelpListsEveryCommandAndExitStatus) {
  const Outcome r = Apctl({"--help"});
  EXPECT_EQ(r.status, kExitOk);
  for (const char* part : {"ports", "monitor [--count N] [--record]", "params set NAME=VALUE",
                           "defaults [--yes]", "calibrate", "install-error", "compass-check [--seconds N]",
                           "upgrade FILE.bin", "record export FILE --format csv|jsonl|gpx|kml",
                           "--out-dir OUT", " 10  upgrade: verify error", " 11  upgrade: no boot"})
    EXPECT_NE(r.out.find(part), std::string::npos) << part;
  EXPECT_EQ(Apctl({}).status, kExitUsage);
  EXPECT_EQ(Apctl({"fly"}).status, kExitUsage);
  // The suggestion knows every command of the table, the newer ones too.
  for (const auto& [typo, meant] : std::vector<std::pair<std::string, std::string>>{
           {"shar", "share"}, {"inspekt", "inspect"}, {"mapp", "map"}})
    EXPECT_NE(Apctl({typo}).err.find("(did you mean \"" + meant + "\"?)"), std::string::npos) << typo;
  EXPECT_EQ(Sim({"params", "frob"}).status, kExitUsage);
}

TEST_F(ApctlSim, MonitorPrintsCountRecordsAsTextAndJson) {
  Outcome r = Sim({"monitor", "--count", "3"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(Lines(r.out), 3) << r.out;
  EXPECT_EQ(r.out.rfind("lat 22.54", 0), 0u) << r.out;

  r = Sim({"--json", "monitor", "--count", "2"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  ASSERT_EQ(Lines(r.out), 2);
  for (const char* key : {"{\"latitude\":\"22.54", "\"voltage\":\"", "\"attitude\":\"", "\"flight_status\":",
                          "\"rudder\":{\"value\":", "\"throttle\":{\"value\":", "\"colour\":\""})
    EXPECT_NE(r.out.find(key), std::string::npos) << key << " in " << r.out;
  EXPECT_EQ(Sim({"monitor", "--count", "0"}).status, kExitUsage);
}

TEST_F(ApctlSim, InspectCountsWhatTheControllerSendsWithItsFaults) {
  options_.rateHz = 50;
  options_.faults.corruptShare = 0.3;  // one byte altered in almost a third of the reports
  Outcome r = Sim({"--json", "inspect", "--seconds", "2"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  ASSERT_NE(handle_, nullptr);
  const sim::SimCounters sent = handle_->Counters();
  auto number = [&](const std::string& key) {
    const std::size_t at = r.out.find(key);
    return at == std::string::npos ? -1 : std::stoll(r.out.substr(at + key.size()));
  };
  const long long stp = number("\"$STP\":{\"count\":");
  EXPECT_GT(stp, 50) << r.out;  // two seconds at 50 Hz, less what was damaged
  EXPECT_LE(stp, static_cast<long long>(sent.statusSent));
  EXPECT_GT(number("\"bad_sums\":"), 0) << r.out;
  EXPECT_GT(number("\"bytes_dropped\":"), 0) << r.out;  // the controller's bursts of garbage
  EXPECT_GT(number("\"reports\":"), 0) << r.out;
  EXPECT_LE(number("\"reports\":"), static_cast<long long>(sent.reportsSent));
  EXPECT_GT(sent.corrupted, 0u);

  // A controller that goes away mid-count: what was counted, then status 3.
  options_.faults = {};
  options_.faults.vanishAtMs = 700;
  r = Sim({"inspect", "--seconds", "5"});
  EXPECT_EQ(r.status, kExitNoDevice) << r.err;
  EXPECT_NE(r.out.find("$STP "), std::string::npos) << r.out;
  EXPECT_LT(r.seconds, 4.0);
  EXPECT_EQ(Sim({"inspect", "--seconds", "0"}).status, kExitUsage);
  EXPECT_EQ(Sim({"inspect", "extra"}).status, kExitUsage);
}

TEST_F(ApctlSim, MonitorRecordWritesEveryShownRecord) {
  const fs::path old = fs::current_path();
  fs::current_path(dir_);
  const Outcome r = Sim({"monitor", "--count", "4", "--record"});
  fs::current_path(old);
  ASSERT_EQ(r.status, kExitOk) << r.err;
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(dir_ + "/Hj")) files.push_back(e.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(fs::file_size(files[0]), 4u * 99u);
  EXPECT_NE(r.err.find("recorded to Hj/"), std::string::npos) << r.err;
}

TEST_F(ApctlSim, ParamsGetPrintsEveryName) {
  Outcome r = Sim({"params", "get"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(Lines(r.out), 14);
  EXPECT_NE(r.out.find("\nmax_speed="), std::string::npos);
  r = Sim({"--json", "params", "get"});
  ASSERT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.out.front(), '{');
  EXPECT_NE(r.out.find("\"aircraft_type\":"), std::string::npos);
}

TEST_F(ApctlSim, ParamsSetWritesReadsBackAndConfirms) {
  const Outcome r =
      Sim({"params", "set", "max_speed=5", "altitude_limit=1234", "failsafe=hover", "aircraft_type=hex-x"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(r.out.find("max_speed=5.0\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("altitude_limit=1230\n"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("confirmed"), std::string::npos);
  EXPECT_NE(r.err.find("altitude_limit=1234 was rounded to the controller's step: 1230"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("max_speed=5 was rounded"), std::string::npos) << r.err;
  const auto p = handle_->Parameters();
  EXPECT_EQ(p[32], 125);
  EXPECT_EQ(p[25], 123);
  EXPECT_EQ(p[7], 82);
  EXPECT_EQ(p[34], 3);
  EXPECT_EQ(handle_->Counters().setAccepted, 1u);
}

TEST_F(ApctlSim, BadValuesAreNamedAndNothingIsSent) {
  struct Case {
    std::vector<std::string> edits;
    const char* message;
    int status = kExitBadValue;
  } cases[] = {
      {{"altitude_limit=1501"}, "altitude_limit: \"1501\" is not a number from 0 to 1500"},
      {{"max_speed=11"}, "max_speed: \"11\" is not a number from 0 to 10.2"},
      {{"servo_frequency=100"}, "servo_frequency: \"100\" is not 50, 250, 333 or 400"},
      {{"cell_count=3", "speed=4"}, "unknown parameter \"speed\""},
      {{"gimbal_roll_sensitivity"}, "is not NAME=VALUE"},
      {{"cell_count=3", "cell_count=4"}, "cell_count is given twice (3 and 4)", kExitUsage},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"params", "set"};
    args.insert(args.end(), c.edits.begin(), c.edits.end());
    handle_.reset();
    const Outcome r = Sim(args);
    EXPECT_EQ(r.status, c.status) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was sent"), std::string::npos) << r.err;
    if (handle_) {
      EXPECT_EQ(handle_->Counters().setAccepted + handle_->Counters().setRejected, 0u) << c.message;
    }
  }
}

TEST_F(ApctlSim, ControllerThatDoesNotTakeTheValuesIsAMismatch) {
  deafToSets_ = true;
  const Outcome r = Sim({"params", "set", "max_speed=8.0"});
  EXPECT_EQ(r.status, kExitMismatch) << r.err;
  EXPECT_NE(r.err.find("max_speed: the controller reports"), std::string::npos) << r.err;
}

TEST_F(ApctlSim, WriteWithoutReadBackIsNotSuccessAndSaysTheValuesWereSent) {
  silentAfterSet_ = true;
  const Outcome r = Sim({"params", "set", "max_speed=8.0"});
  EXPECT_EQ(r.status, kExitNoAnswer) << r.err;
  EXPECT_NE(r.err.find("no answer to the read-back"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the values were sent but are not confirmed"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("confirmed by reading back"), std::string::npos) << r.err;
}

TEST_F(ApctlSim, SaveAndLoadIntoAnotherControllerGiveIdenticalSentences) {
  // The first controller holds values and carried-over bytes of its own.
  ASSERT_EQ(Sim({"params", "set", "max_speed=3.72", "cell_count=6", "gimbal_pitch_sensitivity=-100"}).status,
            kExitOk);
  auto first = handle_->Parameters();
  first[4] = 0x5A;  // a carried-over byte the tool never names
  first[44] = 0;
  unsigned sum = 0;
  for (int i = 0; i < 44; ++i) sum += first[i];
  first[44] = static_cast<std::uint8_t>(sum);
  const auto savedFirst = first;
  auto keep = hooks_.makeSim;
  hooks_.makeSim = [&](bool b) {
    auto backend = keep(b);
    handle_->SetParameters(savedFirst);
    return backend;
  };
  const std::string file = dir_ + "/params.txt";
  Outcome r = Sim({"params", "save", file});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("max_speed=3.72\n"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("\nsentence=24504152"), std::string::npos) << text.str();

  hooks_.makeSim = keep;  // a second controller with its defaults
  r = Sim({"params", "load", file});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(handle_->Parameters(), savedFirst);
}

TEST_F(ApctlSim, DamagedParameterFileIsRefusedNamingTheLine) {
  const std::string file = dir_ + "/bad.txt";
  std::ofstream(file) << "failsafe=land\nmax_speed\n";
  Outcome r = Sim({"params", "load", file});
  EXPECT_EQ(r.status, kExitFileError);
  EXPECT_NE(r.err.find("line 2: \"max_speed\" is not NAME=VALUE"), std::string::npos) << r.err;
  EXPECT_EQ(handle_, nullptr) << "the device was opened for a damaged file";

  EXPECT_EQ(Sim({"params", "load", dir_ + "/missing.txt"}).status, kExitFileError);

  // What is not a parameter file is refused at once and quoted harmlessly.
  const std::string junk = dir_ + "/junk.bin";
  std::ofstream(junk, std::ios::binary) << std::string("\x1b[2J\x00\x01\xff=\x1b]0;x\x07", 13);
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string path;
    const char* message;
  } refused[] = {
      {junk, "line 1: binary bytes"},
      {fifo, "not a regular file"},
      {dir_, "it is a folder"},
      {"/dev/zero", "not a regular file"},
  };
  for (const auto& k : refused) {
    r = Sim({"params", "load", k.path});
    EXPECT_EQ(r.status, kExitFileError) << k.path;
    EXPECT_NE(r.err.find(k.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << "raw escape byte in the message";
    EXPECT_LT(r.seconds, 1.0) << k.path;
  }
  r = Sim({"params", "set", "max_speed=\x1b[31m"});
  EXPECT_EQ(r.status, kExitBadValue);
  EXPECT_NE(r.err.find("\"\\x1b[31m\""), std::string::npos) << r.err;
}

TEST_F(ApctlSim, BackupEditedOnAnotherSystemLoads) {
  const std::string saved = dir_ + "/p.txt";
  ASSERT_EQ(Sim({"params", "save", saved}).status, kExitOk);
  std::ifstream in(saved, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string edited = "\xef\xbb\xbf";  // byte-order mark and CRLF line ends
  for (char ch : text) edited += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  std::ofstream(saved, std::ios::binary | std::ios::trunc) << edited;
  const Outcome r = Sim({"params", "load", saved});
  EXPECT_EQ(r.status, kExitOk) << r.err;
}

TEST_F(ApctlSim, DefaultsNeedsConfirmationThenRestoresAndReadsBack) {
  EXPECT_EQ(Sim({"defaults"}).status, kExitUsage);
  EXPECT_EQ(handle_, nullptr);

  std::istringstream no("n\n");
  hooks_.input = &no;
  hooks_.inputIsTerminal = true;
  EXPECT_EQ(Sim({"defaults"}).status, kExitFailure);

  std::istringstream yes("y\n");
  hooks_.input = &yes;
  const Outcome r = Sim({"defaults"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(handle_->Counters().restoreDefaults, 1u);
  EXPECT_EQ(Lines(r.out), 14);
  EXPECT_EQ(Sim({"defaults", "--yes"}).status, kExitOk);
}

TEST_F(ApctlSim, CalibrateAndInstallError) {
  Outcome r = Sim({"calibrate"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(handle_->Counters().calibrations, 1u);

  r = Sim({"install-error"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out.rfind("installation error[", 0), 0u) << r.out;
  EXPECT_GE(handle_->Counters().captures, 1u);
  r = Sim({"--json", "install-error"});
  EXPECT_EQ(r.out.rfind("{\"first\":", 0), 0u) << r.out;
}

TEST_F(ApctlSim, CompassCheckGoodAndReversed) {
  Outcome r = Sim({"compass-check", "--seconds", "20"});
  EXPECT_EQ(r.status, kExitOk) << r.out << r.err;
  EXPECT_NE(r.out.find("compass: good"), std::string::npos) << r.out;
  EXPECT_EQ(handle_->Counters().compassOn, 1u);
  EXPECT_EQ(handle_->Counters().compassOff, 1u);

  options_.reversedCompass = true;
  r = Sim({"compass-check", "--seconds", "20"});
  EXPECT_EQ(r.status, kExitCompassWrong) << r.out << r.err;
  EXPECT_NE(r.out.find("compass: wrong"), std::string::npos) << r.out;
  EXPECT_EQ(handle_->Counters().compassOff, 1u);
}

class ApctlUpgrade : public ApctlSim {
 protected:
  std::string Image(std::size_t size) {
    const std::string path = dir_ + "/fw.bin";
    std::ofstream f(path, std::ios::binary);
    for (std::size_t i = 0; i < size; ++i) f.put(static_cast<char>(i * 31 + 7));
    return path;
  }
};

TEST_F(ApctlUpgrade, SuccessAndImageArrives) {
  const std::string image = Image(2000);
  const Outcome r = Sim({"upgrade", image});
  ASSERT_EQ(r.status, kExitOk) << r.out << r.err;
  EXPECT_NE(r.out.find("download"), std::string::npos);
  EXPECT_NE(r.out.find("verify"), std::string::npos);
  EXPECT_NE(r.out.find("upgrade succeeded"), std::string::npos);
  EXPECT_TRUE(handle_->UpgradeComplete());
  const auto got = handle_->ReceivedImage();
  ASSERT_GE(got.size(), 2000u);
  std::ifstream f(image, std::ios::binary);
  std::vector<std::uint8_t> want((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(std::equal(want.begin(), want.end(), got.begin()));
}

TEST_F(ApctlUpgrade, CorruptedReadBackIsAVerifyError) {
  options_.faults.corruptReadBackBlock = 5;
  const Outcome r = Sim({"upgrade", Image(2000)});
  EXPECT_EQ(r.status, kExitVerifyError) << r.out << r.err;
  EXPECT_NE(r.err.find("verify error"), std::string::npos) << r.err;
}

TEST_F(ApctlUpgrade, NoBootLoaderInTimeAndBadImages) {
  hooks_.bootLoaderWaitMs = 800;
  auto flight = hooks_.makeSim;
  hooks_.makeSim = [&](bool) { return flight(false); };  // the flight software answers, no boot loader
  Outcome r = Sim({"upgrade", Image(2000)});
  EXPECT_EQ(r.status, kExitNoBootLoader) << r.err;
  EXPECT_EQ(Sim({"upgrade", dir_ + "/none.bin"}).status, kExitFileError);
  // An empty image would leave the controller erased, without firmware.
  handle_.reset();
  r = Sim({"upgrade", Image(0)});
  EXPECT_EQ(r.status, kExitFileError) << r.err;
  EXPECT_NE(r.err.find("is empty; nothing was sent"), std::string::npos) << r.err;
  EXPECT_EQ(handle_, nullptr) << "the device was opened for an empty image";
  EXPECT_EQ(Apctl({"--connect", "serial:/dev/null", "upgrade", Image(10)}).status, kExitUsage);
}

TEST_F(ApctlSim, NoDeviceFailsAtOnce) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{"--connect", "hidsock:/nonexistent/sock", "params", "get"},
        {"--connect", "serial:/nonexistent/tty", "monitor"},
        {"--connect", "usb:/nonexistent/hidraw", "calibrate"}}) {
    const Outcome r = Apctl(args);
    EXPECT_EQ(r.status, kExitNoDevice) << args[1];
    EXPECT_LT(r.seconds, 2.0) << args[1];
    EXPECT_FALSE(r.err.empty());
  }
}

TEST_F(ApctlSim, SilentControllerIsAskedThreeTimesThenReported) {
  options_.faults.stallAtMs = 0;
  options_.faults.stallForMs = 3600 * 1000;
  const Outcome r = Sim({"params", "get"});
  EXPECT_EQ(r.status, kExitNoAnswer);
  EXPECT_NE(r.err.find("no answer from the controller (asked 3 times in 3 s)"), std::string::npos) << r.err;
  EXPECT_GE(r.seconds, 2.8);  // three tries of a second each
  EXPECT_LT(r.seconds, 5.0);
  EXPECT_EQ(Sim({"monitor", "--count", "1"}).status, kExitNoAnswer);
}

TEST_F(ApctlSim, MonitorSaysSoWhenTheStreamStops) {
  options_.faults.stallAtMs = 1000;
  options_.faults.stallForMs = 3600 * 1000;
  const Outcome r = Sim({"monitor"});
  EXPECT_EQ(r.status, kExitNoAnswer);
  EXPECT_NE(r.err.find("the controller stopped sending telemetry"), std::string::npos) << r.err;
  EXPECT_GE(Lines(r.out), 5) << r.out;
}

// However a wait ends, the status and message say how, at once: a device
// unplugged mid-command is not silence, Ctrl+C is not silence either.
TEST_F(ApctlSim, EveryWaitEndsAtOnceWithTheRightStatus) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::int64_t stallAtMs, vanishAtMs;
    bool interruptAt500Ms;
    int status;
    const char* message;
  };
  const std::string image = dir_ + "/fw.bin";
  std::ofstream(image, std::ios::binary) << std::string(20000, '\x5a');
  const Case cases[] = {
      {"monitor, unplugged", {"monitor"}, -1, 700, false, kExitNoDevice, "the device is gone"},
      {"get, silent then unplugged", {"params", "get"}, 0, 500, false, kExitNoDevice, "the device is gone"},
      {"set, silent then unplugged",
       {"params", "set", "max_speed=8.0"},
       0,
       500,
       false,
       kExitNoDevice,
       "the device is gone"},
      {"compass-check, unplugged",
       {"compass-check", "--seconds", "20"},
       300,
       600,
       false,
       kExitNoDevice,
       "the device is gone"},
      {"upgrade, unplugged", {"upgrade", image}, -1, 150, false, kExitNoDevice, "the device is gone"},
      {"get, silent, Ctrl+C", {"params", "get"}, 0, -1, true, kExitInterrupted, "interrupted"},
  };
  for (const Case& k : cases) {
    options_.faults.stallAtMs = k.stallAtMs;
    options_.faults.stallForMs = k.stallAtMs >= 0 ? 3600 * 1000 : 0;
    options_.faults.vanishAtMs = k.vanishAtMs;
    if (k.interruptAt500Ms) QTimer::singleShot(500, [] { g_interrupted.store(true); });
    const Outcome r = Sim(k.args);
    EXPECT_EQ(r.status, k.status) << k.what << ": " << r.err;
    EXPECT_NE(r.err.find(k.message), std::string::npos) << k.what << ": " << r.err;
    EXPECT_LT(r.seconds, 2.5) << k.what;
  }
}

// apctl monitor --record | head -3: once nobody reads, monitor ends as on
// Ctrl+C, and every record it took is in the file.
TEST_F(ApctlSim, MonitorWhoseReaderWentAwayEndsAndKeepsTheRecords) {
  struct ClosesAfterThreeLines : std::streambuf {
    int lines = 0;
    int overflow(int ch) override {
      if (lines >= 3) return traits_type::eof();
      if (ch == '\n') ++lines;
      return ch;
    }
  } closing;
  std::ostream out(&closing);
  std::ostringstream err;
  const fs::path old = fs::current_path();
  fs::current_path(dir_);
  const auto t0 = std::chrono::steady_clock::now();
  const int status = RunApctl({"--connect", "sim", "monitor", "--count", "50", "--record"}, out, err, hooks_);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  fs::current_path(old);
  EXPECT_EQ(status, kExitOk) << err.str();
  EXPECT_LT(seconds, 2.5) << "monitor went on printing into a closed output";
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(dir_ + "/Hj")) files.push_back(e.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(fs::file_size(files[0]), 4u * 99u) << "three shown and the one whose line failed";
}

TEST_F(ApctlSim, MonitorRecordThatCannotWriteFails) {
  const fs::path old = fs::current_path();
  fs::current_path(dir_);
  std::ofstream("Hj") << "a file where the folder would go";
  const Outcome r = Sim({"monitor", "--count", "4", "--record"});
  fs::current_path(old);
  EXPECT_EQ(r.status, kExitFileError) << r.err;
  EXPECT_NE(r.err.find("only 0 of 4 records could be written to Hj/"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(": a part of the path is not a folder"), std::string::npos) << r.err;
}

TEST_F(ApctlSim, RecordToolsWorkWithoutADevice) {
  const std::string rec = dir_ + "/r.hj";
  {
    std::ofstream f(rec, std::ios::binary);
    f << std::string(120, 'x');  // one damaged record and 21 trailing bytes
  }
  // Not one sound record: no flight record, and no empty track made of it.
  Outcome r = Apctl({"record", "info", rec});
  EXPECT_EQ(r.status, kExitFileError) << r.err;
  EXPECT_NE(r.err.find("is not a flight record"), std::string::npos) << r.err;
  r = Apctl({"record", "export", rec, "--format", "gpx", "-o", dir_ + "/r.gpx"});
  EXPECT_EQ(r.status, kExitFileError) << r.err;
  EXPECT_FALSE(fs::exists(dir_ + "/r.gpx"));
  EXPECT_EQ(Apctl({"record", "export", rec, "--format", "shp"}).status, kExitUsage);
  EXPECT_EQ(Apctl({"record", "export", rec}).status, kExitUsage);
  EXPECT_EQ(Apctl({"record", "info", dir_ + "/none.hj"}).status, kExitFileError);
  r = Apctl({"record", "export", rec, "--format", "csv", "-o", rec});
  EXPECT_EQ(r.status, kExitUsage) << r.err;
  EXPECT_EQ(fs::file_size(rec), 120u) << "the export overwrote the record it was made from";
  const std::string fifo = dir_ + "/fifo.hj";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero")}) {
    r = Apctl({"record", "info", path});
    EXPECT_EQ(r.status, kExitFileError) << path;
    EXPECT_LT(r.seconds, 1.0) << path;
  }
  EXPECT_EQ(Apctl({"record", "export", rec, "--format", "csv", "-o", "/nonexistent/x.csv"}).status,
            kExitFileError);
}

// Results go where the name leads, whatever it is, and a result that could
// not be written is a failure with its status.
TEST_F(ApctlSim, ResultsReachWhatTheNameNamesAndAFailedOutputFails) {
  const fs::path old = fs::current_path();
  fs::current_path(dir_);
  ASSERT_EQ(Sim({"monitor", "--count", "3", "--record"}).status, kExitOk);
  fs::current_path(old);
  const std::string rec = fs::directory_iterator(dir_ + "/Hj")->path().string();
  const std::string second = dir_ + "/20261208062259-2.hj";  // a second session of that second
  fs::copy_file(rec, second);
  Outcome r = Apctl({"record", "info", second});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(r.out.find("records: 3\n"), std::string::npos) << r.out;
  std::ofstream(dir_ + "/target.csv") << "old";
  fs::create_symlink("target.csv", dir_ + "/link.csv");
  r = Apctl({"record", "export", rec, "--format", "csv", "-o", dir_ + "/link.csv"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_TRUE(fs::is_symlink(dir_ + "/link.csv"));
  EXPECT_GT(fs::file_size(dir_ + "/target.csv"), 3u);
  const std::string longName = dir_ + "/" + std::string(251, 'p') + ".ini";
  r = Sim({"params", "save", longName});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_TRUE(fs::exists(longName));
  r = Sim({"params", "save", dir_});
  EXPECT_EQ(r.status, kExitFileError);
  EXPECT_NE(r.err.find("it is a folder"), std::string::npos) << r.err;

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"record", "export", rec, "--format", "kml"},
        std::vector<std::string>{"record", "info", rec},
        std::vector<std::string>{"--connect", "sim", "monitor", "--count", "3"}}) {
    SCOPED_TRACE(args[1]);
    std::ofstream full("/dev/full");
    std::ostringstream err;
    EXPECT_EQ(RunApctl(args, full, err, hooks_), kExitFileError);
    EXPECT_NE(err.str().find("the disk is full"), std::string::npos) << err.str();
    EXPECT_EQ(err.str().find("exported"), std::string::npos) << err.str();
  }
}

// A result that cannot be written is said, with the reason, whatever the
// command's own status: help (0), a doctor whose findings block (1), a diff
// that found differences (1). Standard output as apctl's own program has it.
TEST_F(ApctlSim, AFullDiskIsSaidWhateverTheCommandsStatus) {
  const std::string file = dir_ + "/p.params";
  ASSERT_EQ(Sim({"params", "save", file}).status, kExitOk);
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  std::string edited = text.str();
  edited.replace(edited.find("cell_count=3"), 12, "cell_count=6");
  std::ofstream(file, std::ios::trunc) << edited;
  struct Case {
    std::vector<std::string> args;
    int status;  // -1: the command's own, whatever it is
  };
  const Case cases[] = {
      {{"--help"}, kExitFileError},
      {{"doctor"}, -1},
      {{"--connect", "sim", "params", "diff", file}, kExitFailure},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    int status = 0;
    std::ostringstream err;
    {
      FdOutput buffer(fd);
      std::ostream out(&buffer);
      status = RunApctl(c.args, out, err, hooks_);
    }
    ::close(fd);
    if (c.status >= 0) {
      EXPECT_EQ(status, c.status);
    }
    EXPECT_NE(status, kExitOk);
    EXPECT_NE(err.str().find("cannot write the output: the disk is full"), std::string::npos) << err.str();
  }
}

// A fleet's records: directories and files in, one export each out, each row
// naming its record file; what cannot be exported is said and the rest is done.
TEST_F(ApctlSim, RecordExportOfManyFilesMakesOneDataSet) {
  auto write = [](const std::string& path, int records) {
    std::ofstream f(path, std::ios::binary);
    for (int i = 0; i < records; ++i) {
      test::Bytes s = test::Status();
      s[24] = static_cast<std::uint8_t>(i);  // satellites
      test::PutSum(s);
      f.write(reinterpret_cast<const char*>(s.data()), static_cast<std::streamsize>(s.size()));
    }
  };
  fs::create_directories(dir_ + "/a/sub");
  write(dir_ + "/a/1.hj", 3);
  write(dir_ + "/a/2.hj", 2);
  write(dir_ + "/a/sub/3.hj", 9);  // not looked into: only the directory's own files
  std::ofstream(dir_ + "/a/notes.txt") << "not a record file";
  write(dir_ + "/b.hj", 1);
  const std::string out = dir_ + "/out";
  Outcome r = Apctl({"record", "export", dir_ + "/a", dir_ + "/b.hj", "--format", "csv", "--out-dir", out});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(out)) names.insert(e.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"1.csv", "2.csv", "b.csv"}));
  std::ifstream csv(out + "/2.csv");
  std::string header, row;
  std::getline(csv, header);
  EXPECT_EQ(header.rfind("file,record,utc_time,", 0), 0u) << header;
  int rows = 0;
  while (std::getline(csv, row)) {
    EXPECT_EQ(row.rfind(dir_ + "/a/2.hj," + std::to_string(++rows) + ",", 0), 0u) << row;
  }
  EXPECT_EQ(rows, 2);
  EXPECT_NE(r.err.find(dir_ + "/a/1.hj: 3 of 3 records exported to " + out + "/1.csv"), std::string::npos)
      << r.err;

  // Two files of one name would export to one file: the second is refused,
  // the first kept; a missing file and an empty directory are named.
  write(dir_ + "/a/sub/1.hj", 4);
  fs::create_directories(dir_ + "/empty");
  r = Apctl({"record", "export", dir_ + "/b.hj", dir_ + "/a/sub/3.hj", dir_ + "/none.hj", dir_ + "/empty",
             dir_ + "/a/1.hj", dir_ + "/a/sub/1.hj", "--format", "jsonl", "--out-dir", out});
  EXPECT_EQ(r.status, kExitFileError);
  EXPECT_NE(r.err.find(dir_ + "/empty: no record files (*.hj) in this directory"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find(dir_ + "/none.hj: No such file or directory"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("3 of 5 record files exported"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(dir_ + "/a/sub/1.hj: not exported, " + out +
                       "/1.jsonl already holds the export of another file of that name"),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(fs::exists(out + "/3.jsonl"));
  std::ifstream first(out + "/1.jsonl");
  EXPECT_EQ(std::count(std::istreambuf_iterator<char>(first), std::istreambuf_iterator<char>(), '\n'), 3)
      << "1.jsonl holds the first 1.hj";
  EXPECT_FALSE(fs::exists(out + "/none.jsonl"));
  for (const auto& e : fs::directory_iterator(out))
    EXPECT_NE(e.path().extension(), ".part") << "a failed export leaves no half file";

  // The same file given twice (here by two paths) is exported once, not
  // refused as "another file of that name".
  r = Apctl({"record", "export", dir_ + "/b.hj", dir_ + "/a/../b.hj", "--format", "csv", "--out-dir",
             dir_ + "/twice"});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(r.err.find(dir_ + "/a/../b.hj: given more than once; exported once"), std::string::npos) << r.err;

  EXPECT_EQ(Apctl({"record", "export", dir_ + "/a", "--format", "csv"}).status, kExitUsage)
      << "a directory needs --out-dir";
  EXPECT_EQ(
      Apctl({"record", "export", dir_ + "/b.hj", "--format", "csv", "-o", "x", "--out-dir", out}).status,
      kExitUsage);
}

// apsim on a pseudo-terminal: the serial path end to end.
class ApctlSerial : public ApctlSim {
 protected:
  void SetUp() override {
    ApctlSim::SetUp();
    if (access("./apsim", X_OK) != 0) GTEST_SKIP() << "apsim is not built beside the tests";
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      execl("./apsim", "apsim", "--serial", "--no-garbage", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    FILE* f = fdopen(out[0], "r");
    char line[256] = {};
    ASSERT_NE(fgets(line, sizeof line, f), nullptr) << "apsim printed no path";
    fclose(f);
    pty_ = line;
    while (!pty_.empty() && (pty_.back() == '\n' || pty_.back() == '\r')) pty_.pop_back();
    if (const auto at = pty_.find("/dev/"); at != std::string::npos) pty_ = pty_.substr(at);
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    ApctlSim::TearDown();
  }
  Outcome Serial(std::vector<std::string> args) {
    args.insert(args.begin(), {"--connect", "serial:" + pty_});
    return Apctl(args);
  }
  pid_t pid_ = -1;
  std::string pty_;
};

// Parameter history: a snapshot before every write, diff, restore.
class ApctlHistory : public ApctlSim {
 protected:
  void SetUp() override {
    ApctlSim::SetUp();
    folder_ = dir_ + "/data/apdesk/parameters";
    setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
  }
  std::vector<fs::path> Snapshots() const {
    std::vector<fs::path> files;
    if (fs::exists(folder_))
      for (const auto& e : fs::directory_iterator(folder_)) files.push_back(e.path());
    return files;
  }
  static sim::ParameterSentence Summed(sim::ParameterSentence sentence) {
    unsigned sum = 0;
    for (int i = 0; i < 44; ++i) sum += sentence[static_cast<std::size_t>(i)];
    sentence[44] = static_cast<std::uint8_t>(sum);
    return sentence;
  }
  // A controller that holds `sentence` when apctl opens it.
  void HoldOnOpen(const sim::ParameterSentence& sentence) {
    hooks_.makeSim = [this, sentence](bool b) {
      auto backend = sim::MakeSimHidBackend(options_, &handle_);
      (void)b;
      handle_->SetParameters(sentence);
      return backend;
    };
  }
  std::string folder_;
};

// Sees how many snapshots exist at the moment a set-parameters frame leaves.
class SnapshotWatchBackend : public IHidBackend {
 public:
  SnapshotWatchBackend(std::unique_ptr<IHidBackend> inner, std::string folder, std::atomic<int>* seen)
      : m_inner(std::move(inner)), m_folder(std::move(folder)), m_seen(seen) {}
  std::vector<HidDeviceInfo> Enumerate(std::uint16_t v, std::uint16_t p) override {
    return m_inner->Enumerate(v, p);
  }
  std::unique_ptr<IHidDevice> OpenPath(const std::string& path) override {
    class Device : public IHidDevice {
     public:
      Device(std::unique_ptr<IHidDevice> d, std::string folder, std::atomic<int>* seen)
          : m_d(std::move(d)), m_folder(std::move(folder)), m_seen(seen) {}
      int ReadReport(std::uint8_t* r, int t) override { return m_d->ReadReport(r, t); }
      int WriteReport(const std::uint8_t* r) override {
        for (int i = 0; i + 6 < 64; ++i) {
          if (std::memcmp(r + i, "$WIFIs", 6) == 0) {
            int n = 0;
            if (fs::exists(m_folder))
              for ([[maybe_unused]] const auto& e : fs::directory_iterator(m_folder)) ++n;
            m_seen->store(n);
          }
        }
        return m_d->WriteReport(r);
      }
      std::unique_ptr<IHidDevice> m_d;
      std::string m_folder;
      std::atomic<int>* m_seen;
    };
    auto d = m_inner->OpenPath(path);
    return d ? std::make_unique<Device>(std::move(d), m_folder, m_seen) : nullptr;
  }

 private:
  std::unique_ptr<IHidBackend> m_inner;
  std::string m_folder;
  std::atomic<int>* m_seen;
};

TEST_F(ApctlHistory, SnapshotIsStoredBeforeTheSetFrameLeaves) {
  std::atomic<int> seen{-1};
  hooks_.makeSim = [this, &seen](bool) -> std::unique_ptr<IHidBackend> {
    return std::make_unique<SnapshotWatchBackend>(sim::MakeSimHidBackend(options_, &handle_), folder_, &seen);
  };
  Outcome r = Sim({"params", "set", "cell_count=6"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(seen.load(), 1) << "snapshots present when the set frame left";
  const auto files = Snapshots();
  ASSERT_EQ(files.size(), 1u);
  // The snapshot holds the controller's sentence from before the write.
  std::ifstream in(files[0]);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("# before: params set\n"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("cell_count=3\n"), std::string::npos) << text.str();

  r = Sim({"params", "history"});
  ASSERT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.out.rfind(files[0].filename().string(), 0), 0u) << r.out;

  EXPECT_EQ(Sim({"params", "set", "--no-snapshot", "cell_count=5"}).status, kExitOk);
  EXPECT_EQ(Snapshots().size(), 1u);

  // A history folder that cannot be made: refused, nothing written.
  std::ofstream(dir_ + "/file") << "x";
  setenv("XDG_DATA_HOME", (dir_ + "/file").c_str(), 1);
  handle_.reset();
  r = Sim({"params", "set", "cell_count=4"});
  EXPECT_EQ(r.status, kExitFileError) << r.err;
  EXPECT_NE(r.err.find("cannot be made"), std::string::npos) << r.err;
  ASSERT_NE(handle_, nullptr);
  EXPECT_EQ(handle_->Counters().setAccepted, 0u);
}

TEST_F(ApctlHistory, DiffSaysWhatDiffersByItsExitStatus) {
  const std::string file = dir_ + "/p.params";
  ASSERT_EQ(Sim({"params", "save", file}).status, kExitOk);
  Outcome r = Sim({"params", "diff", file});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;

  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  std::string edited = text.str();
  edited.replace(edited.find("cell_count=3"), 12, "cell_count=6");
  edited.replace(edited.find("failsafe=return-land"), 20, "failsafe=hover");
  std::ofstream(file, std::ios::trunc) << edited;
  r = Sim({"params", "diff", file});
  EXPECT_EQ(r.status, kExitFailure) << r.err;
  EXPECT_EQ(r.out, "failsafe: controller return-land, file hover\ncell_count: controller 3, file 6\n");
  r = Sim({"--json", "params", "diff", file});
  EXPECT_EQ(r.status, kExitFailure);
  EXPECT_NE(r.out.find("{\"equal\":false,\"differences\":[{\"name\":\"failsafe\""), std::string::npos)
      << r.out;

  edited.replace(edited.find("cell_count=6"), 12, "cell_count=16");
  std::ofstream(file, std::ios::trunc) << edited;
  r = Sim({"params", "diff", file});
  EXPECT_EQ(r.status, kExitBadValue);
  EXPECT_NE(r.err.find("line 14: cell_count: \"16\" is not a number from 0 to 15"), std::string::npos)
      << r.err;
  std::ofstream(file, std::ios::trunc) << "max_speed\n";
  EXPECT_EQ(Sim({"params", "diff", file}).status, kExitFileError);
  EXPECT_TRUE(Snapshots().empty()) << "diff writes nothing";
}

// A value of a file that the controller keeps in coarser steps is said as
// params set says it, by load and by restore; diff compares what the file
// says, not what it would round to.
TEST_F(ApctlHistory, RoundedFileValuesAreSaidAndDiffComparesTheFilesText) {
  const std::string file = dir_ + "/p.params";
  ASSERT_EQ(Sim({"params", "save", file}).status, kExitOk);
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  std::string edited = text.str();
  for (const char* name : {"max_speed=", "altitude_limit="}) {
    const std::size_t at = edited.find(name);
    ASSERT_NE(at, std::string::npos) << edited;
    edited.replace(at, edited.find('\n', at) - at,
                   std::string(name) + (std::string(name) == "max_speed=" ? "8.05" : "305"));
  }
  std::ofstream(file, std::ios::trunc) << edited;

  struct Case {
    std::vector<std::string> args;
  };
  const Case cases[] = {{{"params", "load", file}},
                        {{"params", "restore", file}},
                        {{"params", "restore", file, "--only", "max_speed", "--only", "altitude_limit"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    const Outcome r = Sim(c.args);
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.err.find("max_speed=8.05 was rounded to the controller's step: 8.04"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("altitude_limit=305 was rounded to the controller's step: 300"), std::string::npos)
        << r.err;
  }
  HoldOnOpen(handle_->Parameters());
  const Outcome r = Sim({"params", "diff", file});
  EXPECT_EQ(r.status, kExitFailure) << r.err;
  EXPECT_EQ(r.out, "max_speed: controller 8.04, file 8.05\naltitude_limit: controller 300, file 305\n");
}

TEST_F(ApctlHistory, RestoreOfASnapshotBringsTheControllerBack) {
  // A controller with values and a carried byte of its own is changed...
  sim::ParameterSentence original{};
  Sim({"params", "get"});
  original = handle_->Parameters();
  original[4] = 0x5A;
  original[33] = 99;
  original = Summed(original);
  HoldOnOpen(original);
  ASSERT_EQ(Sim({"params", "set", "sway_compensation=10", "cell_count=6", "altitude_limit=300"}).status,
            kExitOk);
  const sim::ParameterSentence changed = handle_->Parameters();
  ASSERT_EQ(Snapshots().size(), 1u);
  const std::string name = Snapshots()[0].filename().string();

  // ...then only two of its values are restored...
  HoldOnOpen(changed);
  Outcome r = Sim({"params", "restore", name, "--only", "cell_count,sway_compensation"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(r.err.find("confirmed by reading back"), std::string::npos) << r.err;
  sim::ParameterSentence expected = changed;
  expected[5] = original[5];
  expected[33] = original[33];
  EXPECT_EQ(handle_->Parameters(), Summed(expected));

  // ...then the whole snapshot: the controller is back where it was.
  HoldOnOpen(changed);
  r = Sim({"params", "restore", name});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(handle_->Parameters(), original);
  EXPECT_EQ(Snapshots().size(), 3u);  // each restore stored one first

  EXPECT_EQ(Sim({"params", "restore", "no-such-snapshot"}).status, kExitFileError);
  EXPECT_EQ(Sim({"params", "restore", name, "--only", "speed"}).status, kExitBadValue);
}

// The pseudo-terminal closes when apsim ends, as a serial adapter unplugged.
TEST_F(ApctlSerial, PortThatGoesAwayMidMonitorIsNoDevice) {
  const pid_t pid = pid_;
  QTimer::singleShot(1500, [pid] { kill(pid, SIGTERM); });
  const Outcome r = Serial({"monitor"});
  EXPECT_EQ(r.status, kExitNoDevice) << r.err;
  EXPECT_NE(r.err.find("the device is gone"), std::string::npos) << r.err;
  EXPECT_GE(Lines(r.out), 3);
  EXPECT_LT(r.seconds, 3.0);
}

TEST_F(ApctlSerial, MonitorGetSetOverAPseudoTerminal) {
  Outcome r = Serial({"monitor", "--count", "2"});
  ASSERT_EQ(r.status, kExitOk) << pty_ << ": " << r.err;
  EXPECT_EQ(Lines(r.out), 2);
  r = Serial({"params", "set", "vertical_speed=2", "volt_alert=3.55"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  r = Serial({"params", "get"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(r.out.find("vertical_speed=2\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("volt_alert=3.55\n"), std::string::npos) << r.out;
  const std::string file = dir_ + "/p.txt";
  EXPECT_EQ(Serial({"params", "save", file}).status, kExitOk);
  EXPECT_EQ(Serial({"params", "load", file}).status, kExitOk);
  EXPECT_EQ(Serial({"calibrate"}).status, kExitOk);
  EXPECT_EQ(Serial({"compass-check", "--seconds", "20"}).status, kExitOk);
}

}  // namespace
}  // namespace apdesk::cli
