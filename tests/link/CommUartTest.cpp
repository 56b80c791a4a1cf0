// CCommUart over a pseudo-terminal.
#include "link/CommUart.h"

#include <QSerialPort>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>

#include "LinkTestSupport.h"
#include "common/Pty.h"
#include "core/CommConfig.h"
#include "core/SettingsStore.h"

namespace {

using linktest::PumpFor;
using linktest::PumpUntil;

std::vector<std::uint8_t> Pattern(std::size_t n, unsigned seed) {
  std::minstd_rand gen(seed);
  std::vector<std::uint8_t> out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(gen() >> 7);
  return out;
}

class CommUartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok());
    char dir[] = "/tmp/apdesk-uart-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    folder = dir;
    settings = std::make_unique<apdesk::SettingsStore>(folder + "/MPCFG.ini");
    ASSERT_TRUE(settings->WriteSettingString("Settings1", "COMPORT", pty.SlavePath()));
    uart.SetFailureHandler([this](apdesk::TransportFailure why) { failures.push_back(why); });
    uart.Init(&owner);
    // What the main window does with the two messages.
    owner.onUartReceived = [this] {
      uart.TakeArrived([this](const std::uint8_t* bytes, std::size_t n) {
        received.insert(received.end(), bytes, bytes + n);
      });
      pendingAfterRead.push_back(uart.ReadsPending());
    };
    owner.onUartSent = [this] { uart.CompleteWrite(); };
  }

  // Opens the port the settings file names with its stored line settings,
  // as Open COM does.
  bool OpenStored() {
    return uart.Open(settings->GetSettingString("Settings1", "COMPORT", "COM1"),
                     apdesk::LineSettingsFromStored(settings->GetSettingBinary("Settings1", "COMCONF")));
  }

  void TearDown() override {
    uart.Close();
    ::unlink((folder + "/MPCFG.ini").c_str());
    ::rmdir(folder.c_str());
  }

  void StoreRecord(const std::array<std::uint8_t, apdesk::kCommConfigSize>& r, std::size_t n) {
    ASSERT_TRUE(settings->WriteSettingBinary("Settings1", "COMCONF", r.data(), n));
  }

  testsupport::Pty pty;
  std::string folder;
  std::unique_ptr<apdesk::SettingsStore> settings;
  CCommUart uart;
  linktest::RecordingOwner owner;
  std::vector<apdesk::TransportFailure> failures;
  std::vector<std::uint8_t> received;
  std::vector<int> pendingAfterRead;
};

TEST_F(CommUartTest, OpensThePortWithTheStoredLineSettings) {
  using Record = std::array<std::uint8_t, apdesk::kCommConfigSize>;
  auto with = [](std::uint32_t baud, std::uint8_t bits, std::uint8_t parity, std::uint8_t stop,
                 std::uint32_t flags) {
    Record r = apdesk::DefaultCommConfig();
    for (int i = 0; i < 4; ++i) r[12 + i] = static_cast<std::uint8_t>(baud >> (8 * i));
    for (int i = 0; i < 4; ++i) r[16 + i] = static_cast<std::uint8_t>(flags >> (8 * i));
    r[26] = bits;
    r[27] = parity;
    r[28] = stop;
    return r;
  };
  struct Case {
    const char* name;
    bool store;
    Record record;
    std::size_t storedBytes;
    speed_t speed;
    bool twoStop, rtscts;
  } cases[] = {
      {"nothing stored: 115200 8N1", false, {}, 0, B115200, false, false},
      {"9600 7E2", true, with(9600, 7, 2, 2, 0x11), 52, B9600, true, false},
      {"57600 8O1", true, with(57600, 8, 1, 0, 0x11), 52, B57600, false, false},
      {"hardware flow", true, with(115200, 8, 0, 0, 0x11 | 0x4 | (2u << 12)), 52, B115200, false, true},
      // Only the first 12 bytes stored: the baud rate field is cut, the rest default.
      {"short record", true, with(9600, 7, 2, 2, 0x11), 12, B115200, false, false},
  };
  for (const Case& c : cases) {
    settings->WriteSettingString("Settings1", "COMCONF", "");
    if (c.store) StoreRecord(c.record, c.storedBytes);
    ASSERT_TRUE(OpenStored()) << c.name;
    termios t{};
    ASSERT_TRUE(pty.SlaveTermios(t)) << c.name;
    EXPECT_EQ(cfgetospeed(&t), c.speed) << c.name;
    // A pseudo-terminal forces 8 bits without parity whatever it is told;
    // those two are checked on UartLineSetupFor below.
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStop) << c.name;
    EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.rtscts) << c.name;
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u) << c.name;
    EXPECT_EQ(uart.ReadsPending(), 1) << c.name;
    uart.Close();
  }
  EXPECT_TRUE(failures.empty());
}

TEST(UartLineSetup, StoredFieldsBecomePortSettings) {
  auto line = [](std::uint32_t baud, int bits, int parity, int stop) {
    apdesk::LineSettings l = apdesk::DecodeLineSettings(apdesk::DefaultCommConfig());
    l.baudRate = baud;
    l.dataBits = static_cast<std::uint8_t>(bits);
    l.parity = static_cast<std::uint8_t>(parity);
    l.stopBits = static_cast<std::uint8_t>(stop);
    return l;
  };
  const auto def = apdesk::UartLineSetupFor(apdesk::DecodeLineSettings(apdesk::DefaultCommConfig()));
  EXPECT_EQ(def.baudRate, 115200);
  EXPECT_EQ(def.dataBits, QSerialPort::Data8);
  EXPECT_EQ(def.parity, QSerialPort::NoParity);
  EXPECT_EQ(def.stopBits, QSerialPort::OneStop);
  EXPECT_EQ(def.flowControl, QSerialPort::NoFlowControl);
  EXPECT_TRUE(def.dataTerminalReady);
  EXPECT_EQ(def.requestToSend, false);

  struct Case {
    apdesk::LineSettings in;
    std::optional<QSerialPort::DataBits> bits;
    std::optional<QSerialPort::Parity> parity;
    std::optional<QSerialPort::StopBits> stop;
    std::optional<qint32> baud;
  } cases[] = {
      {line(9600, 7, 2, 2), QSerialPort::Data7, QSerialPort::EvenParity, QSerialPort::TwoStop, 9600},
      {line(57600, 5, 1, 1), QSerialPort::Data5, QSerialPort::OddParity, QSerialPort::OneAndHalfStop, 57600},
      {line(1200, 6, 3, 0), QSerialPort::Data6, QSerialPort::MarkParity, QSerialPort::OneStop, 1200},
      {line(2400, 8, 4, 0), QSerialPort::Data8, QSerialPort::SpaceParity, QSerialPort::OneStop, 2400},
      // Values the line cannot have are left out rather than guessed.
      {line(0, 9, 5, 3), std::nullopt, std::nullopt, std::nullopt, std::nullopt},
      {line(0x80000000u, 4, 200, 7), std::nullopt, std::nullopt, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    const auto s = apdesk::UartLineSetupFor(c.in);
    EXPECT_EQ(s.dataBits, c.bits) << c.in.baudRate;
    EXPECT_EQ(s.parity, c.parity) << c.in.baudRate;
    EXPECT_EQ(s.stopBits, c.stop) << c.in.baudRate;
    EXPECT_EQ(s.baudRate, c.baud) << c.in.baudRate;
  }

  apdesk::LineSettings flow = line(115200, 8, 0, 0);
  flow.outxCtsFlow = true;
  EXPECT_EQ(apdesk::UartLineSetupFor(flow).flowControl, QSerialPort::HardwareControl);
  EXPECT_FALSE(apdesk::UartLineSetupFor(flow).requestToSend.has_value()) << "RTS belongs to the handshake";
  flow.outxCtsFlow = false;
  flow.inX = true;
  EXPECT_EQ(apdesk::UartLineSetupFor(flow).flowControl, QSerialPort::SoftwareControl);
  flow.inX = false;
  flow.dtrControl = 0;
  flow.rtsControl = 1;
  EXPECT_FALSE(apdesk::UartLineSetupFor(flow).dataTerminalReady);
  EXPECT_EQ(apdesk::UartLineSetupFor(flow).requestToSend, true);
}

TEST_F(CommUartTest, APortThatIsNotThereStaysClosedAndWritesAreDropped) {
  for (const char* name : {"/dev/apdesk-no-such-tty", "COM1", "ttyNOPE9"}) {
    settings->WriteSettingString("Settings1", "COMPORT", name);
    EXPECT_FALSE(OpenStored()) << name;
    EXPECT_FALSE(uart.IsOpen()) << name;
    const std::uint8_t frame[30] = {'$'};
    uart.Write(frame, sizeof(frame));
    EXPECT_EQ(uart.TxFill(), 0u) << name;
  }
}

TEST_F(CommUartTest, ReadsCollectWhatArrivesWithOneReadOutstanding) {
  ASSERT_TRUE(OpenStored());
  const std::vector<std::uint8_t> sentence = Pattern(99, 1);
  ASSERT_TRUE(pty.WriteMaster(sentence.data(), sentence.size()));
  ASSERT_TRUE(PumpUntil([&] { return received.size() >= sentence.size(); }));
  PumpFor(50);
  EXPECT_EQ(received, sentence);
  EXPECT_FALSE(pendingAfterRead.empty());
  for (int pending : pendingAfterRead) EXPECT_EQ(pending, 1);
  EXPECT_TRUE(failures.empty());
}

TEST_F(CommUartTest, WritesWhileOneIsInFlightAreCoalescedAndOversizedOnesDropped) {
  ASSERT_TRUE(OpenStored());
  const std::vector<std::uint8_t> a = Pattern(30, 2), b = Pattern(30, 3), big = Pattern(4070, 4);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> afterComplete;  // (m_txSent, m_txFill)
  std::vector<std::vector<std::uint8_t>> frontAfterComplete;
  owner.onUartSent = [&] {
    uart.CompleteWrite();
    afterComplete.emplace_back(uart.TxSent(), uart.TxFill());
    frontAfterComplete.emplace_back(uart.TxBuffer(), uart.TxBuffer() + uart.TxFill());
  };
  uart.Write(a.data(), 30);
  uart.Write(big.data(), static_cast<std::uint32_t>(big.size()));  // 30 + 4070 > 4096: dropped whole
  EXPECT_EQ(uart.TxFill(), 30u);
  uart.Write(b.data(), 30);
  EXPECT_EQ(uart.TxFill(), 60u);
  ASSERT_TRUE(PumpUntil([&] { return afterComplete.size() == 2; }));
  // The first completion moved the second frame to the front and sent it.
  EXPECT_EQ(afterComplete[0], std::make_pair(0u, 30u));
  EXPECT_EQ(frontAfterComplete[0], b);
  EXPECT_EQ(afterComplete[1], std::make_pair(30u, 30u));
  std::vector<std::uint8_t> expected = a;
  expected.insert(expected.end(), b.begin(), b.end());
  EXPECT_EQ(pty.ReadMaster(60), expected);
  PumpFor(50);
  EXPECT_EQ(pty.ReadMaster(1, 50).size(), 0u) << "the dropped write left no trace";
  EXPECT_TRUE(failures.empty());
}

// The far end reads nothing until the line is full, a write only in part
// taken; then it drains at full speed while a megabyte goes out. Every byte
// must arrive once, in order.
TEST_F(CommUartTest, PartialWritesAreContinuedAndAMegabyteArrivesInOrder) {
  constexpr std::size_t kTotal = 1 << 20;
  const std::vector<std::uint8_t> data = Pattern(kTotal, 5);
  ASSERT_TRUE(OpenStored());
  std::size_t handed = 0;
  bool partial = false;
  auto writeMore = [&] {
    if (uart.TxSent() != uart.TxFill() || handed == kTotal) return;
    // A prime size, so a full kernel buffer cannot end exactly on a write's end.
    const std::size_t n = std::min<std::size_t>(4093, kTotal - handed);
    uart.Write(data.data() + handed, static_cast<std::uint32_t>(n));
    handed += n;
  };
  owner.onUartSent = [&] {
    uart.CompleteWrite();
    if (uart.TxSent() != uart.TxFill()) partial = true;  // the rest was moved to the front
    writeMore();
  };
  writeMore();
  // The far end does not read: the line fills up part-way through a write.
  PumpFor(300);
  ASSERT_LT(handed, kTotal) << "the line never filled up";

  std::vector<std::uint8_t> arrived;
  std::thread farEnd([&] { arrived = pty.ReadMaster(kTotal, 5000); });
  const bool done = PumpUntil([&] { return handed == kTotal && uart.TxSent() == uart.TxFill(); }, 30000);
  farEnd.join();
  ASSERT_TRUE(done);
  EXPECT_TRUE(partial) << "the write that filled the line did not complete in part";
  ASSERT_EQ(arrived.size(), kTotal);
  EXPECT_TRUE(arrived == data) << "bytes lost, doubled or reordered";
  EXPECT_TRUE(failures.empty());
}

TEST_F(CommUartTest, AMegabyteStreamedInArrivesInOrder) {
  constexpr std::size_t kTotal = 1 << 20;
  const std::vector<std::uint8_t> data = Pattern(kTotal, 6);
  ASSERT_TRUE(OpenStored());
  received.reserve(kTotal);
  std::atomic<bool> wrote{false};
  std::thread farEnd([&] { wrote = pty.WriteMaster(data.data(), data.size()); });
  const bool all = PumpUntil([&] { return received.size() >= kTotal; }, 30000);
  farEnd.join();
  ASSERT_TRUE(wrote.load());
  ASSERT_TRUE(all) << received.size();
  EXPECT_EQ(received.size(), kTotal);
  EXPECT_TRUE(received == data) << "bytes lost, doubled or reordered";
  EXPECT_TRUE(failures.empty());
}

TEST_F(CommUartTest, CloseWithAReadOutstandingGivesOneReceiveMessageAndNoFailure) {
  ASSERT_TRUE(OpenStored());
  ASSERT_EQ(uart.ReadsPending(), 1);
  uart.Close();
  PumpFor(300);
  EXPECT_EQ(owner.Count(0x500), 1);
  EXPECT_TRUE(received.empty());
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(uart.ReadsPending(), 1) << "the read re-armed on the closed port stays pending";

  // Opening again while open: the first port's cancelled read is not the new one's.
  ASSERT_TRUE(OpenStored());
  ASSERT_TRUE(OpenStored());
  PumpFor(200);
  EXPECT_EQ(owner.Count(0x500), 1);
  EXPECT_EQ(uart.ReadsPending(), 1);
  const std::uint8_t byte = 0x42;
  ASSERT_TRUE(pty.WriteMaster(&byte, 1));
  ASSERT_TRUE(PumpUntil([&] { return received.size() == 1; }));
  EXPECT_EQ(received[0], 0x42);
  EXPECT_TRUE(failures.empty());
}

TEST_F(CommUartTest, TheFarEndVanishingIsReportedOnce) {
  ASSERT_TRUE(OpenStored());
  pty.CloseMaster();
  ASSERT_TRUE(PumpUntil([&] { return !failures.empty(); }, 3000));
  const std::uint8_t frame[30] = {'$'};
  uart.Write(frame, sizeof(frame));
  PumpFor(300);
  EXPECT_EQ(failures, std::vector{apdesk::TransportFailure::ReadFailed});
  EXPECT_LE(owner.messages.size(), 3u) << "no stream of messages from a dead line";
}

}  // namespace
