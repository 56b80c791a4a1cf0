// The NMEA server with real loopback connections: a reader gets every line
// in order while a client that never reads loses only its own oldest lines.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "common/LoopbackClient.h"
#include "nmea/NmeaSentences.h"
#include "nmea/NmeaServer.h"

namespace apdesk::nmea {
namespace {

using testsupport::LoopbackClient;

bool Spin(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}

std::string Line(int n) {
  return Framed("GPTXT,01,01,02," + std::to_string(n));
}

// The numbers of the lines in `text`, which must be whole, framed lines.
std::vector<int> Numbers(const std::string& text) {
  std::vector<int> numbers;
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t end = text.find("\r\n", begin);
    if (end == std::string::npos) break;
    const std::string line = text.substr(begin, end + 2 - begin);
    const std::size_t comma = line.rfind(',');
    const int n = std::atoi(line.c_str() + comma + 1);
    EXPECT_EQ(line, Line(n));
    numbers.push_back(n);
    begin = end + 2;
  }
  EXPECT_EQ(begin, text.size()) << "a cut line";
  return numbers;
}

TEST(NmeaServer, SlowClientLosesOnlyItsOwnOldestLines) {
  int argc = 1;
  char name[] = "nmea_server_test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);

  NmeaServer server;
  QString error;
  ListenAddress any;
  any.port = 0;
  ASSERT_TRUE(server.Listen(any, &error)) << error.toStdString();
  const int port = server.Address().port;
  ASSERT_GT(port, 0);
  {
    NmeaServer second;
    ListenAddress same = server.Address();
    EXPECT_FALSE(second.Listen(same, &error));
    EXPECT_TRUE(error.contains(QString::fromStdString(same.Text()))) << error.toStdString();
  }

  std::vector<int> counts;
  QString leftPeer;
  quint64 leftDropped = 0;
  int left = 0;
  QObject::connect(&server, &NmeaServer::ClientsChanged, [&](int n) { counts.push_back(n); });
  QObject::connect(&server, &NmeaServer::ClientLeft, [&](const QString& peer, quint64 dropped) {
    leftPeer = peer;
    leftDropped = dropped;
    ++left;
  });

  LoopbackClient reader, stalled;
  ASSERT_TRUE(reader.Connect(port));
  ASSERT_TRUE(stalled.Connect(port, 1024));
  ASSERT_TRUE(Spin([&] { return server.Clients() == 2; }));
  // Read-only: what a client sends changes nothing.
  ASSERT_TRUE(reader.Send(std::string(100000, 'x') + "\r\n$PSRF100,0,4800,8,1,0*0F\r\n"));

  const int total = 3000;
  std::size_t longest = 0;
  for (int n = 0; n < total; n += 3) {
    server.Send(Line(n) + Line(n + 1) + Line(n + 2));
    longest = std::max(longest, server.LongestQueue());
    const std::size_t want = static_cast<std::size_t>(n + 3);
    ASSERT_TRUE(Spin([&] {
      reader.ReadAvailable();
      return reader.Lines() >= want;
    })) << "the reader was held up at line "
        << n;
  }
  const std::vector<int> got = Numbers(reader.Received());
  ASSERT_EQ(got.size(), static_cast<std::size_t>(total));
  for (int n = 0; n < total; ++n) ASSERT_EQ(got[n], n);
  EXPECT_EQ(longest, NmeaServer::kQueuedLinesPerClient);

  // The stalled client now reads what is left for it, then goes: what it got
  // and what it lost are all the lines, in order, none twice.
  Spin([&] {
    stalled.ReadAvailable();
    return server.LongestQueue() == 0 && !stalled.Received().empty();
  });
  QElapsedTimer quiet;
  quiet.start();
  Spin([&] { return quiet.elapsed() > 300 && (stalled.ReadAvailable(), true); }, 1000);
  stalled.Close();
  ASSERT_TRUE(Spin([&] { return left == 1; }));
  const std::vector<int> kept = Numbers(stalled.Received());
  EXPECT_GT(leftDropped, 0u);
  EXPECT_EQ(kept.size() + leftDropped, static_cast<std::size_t>(total));
  for (std::size_t i = 1; i < kept.size(); ++i) EXPECT_LT(kept[i - 1], kept[i]);
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(kept.back(), total - 1) << "the newest line reaches a client that catches up";
  EXPECT_EQ(leftPeer.left(10), QString("127.0.0.1:"));

  EXPECT_EQ(server.Clients(), 1);
  EXPECT_EQ(counts, (std::vector<int>{1, 2, 1}));
  server.Close();
  EXPECT_TRUE(Spin([&] { return !reader.ReadAvailable(); })) << "closing the server ends its clients";
}

}  // namespace
}  // namespace apdesk::nmea
