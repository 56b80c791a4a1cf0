// apctl map against a tile server of the test's own on 127.0.0.1, with the
// tile store in a folder of the test's own.
#include <gtest/gtest.h>
#include <QTemporaryDir>

#include <sstream>

#include "app/QtTestApp.h"
#include "cli/MapCommand.h"
#include "common/LoopbackTileServer.h"
#include "common/ScopedEnv.h"

namespace apdesk::cli {
namespace {

struct MapRun {
  int status;
  std::string out, err;
};

MapRun Map(std::vector<std::string> args, bool json = false) {
  std::ostringstream out, err;
  const int status = RunMapCommand(std::move(args), json, "/nonexistent/MPCFG.ini", out, err);
  return {status, out.str(), err.str()};
}

TEST(ApctlMap, BadCommandLinesAndTheBuiltInSourceAreRefusedBeforeAnyRequest) {
  apdesk::test::TestApp();
  QTemporaryDir cache;
  ::test::ScopedEnv xdg("XDG_CACHE_HOME", cache.path().toUtf8().constData());
  ::test::LoopbackTileServer server;
  ASSERT_TRUE(server.Start());
  const std::string url = server.Template().toStdString();
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const Case cases[] = {
      {{}, "prefetch, export or info"},
      {{"fetch"}, "unknown map command"},
      {{"prefetch", "--zoom", "3"}, "--bbox"},
      {{"prefetch", "--bbox", "1,2,3,4"}, "--zoom"},
      {{"prefetch", "--bbox", "1,2,3,4", "--record", "x.hj", "--zoom", "3"}, "either"},
      {{"prefetch", "--bbox", "89,0,95,1", "--zoom", "3", "--source", url}, "-90..90"},
      {{"prefetch", "--bbox", "1,2,3,4", "--zoom", "20", "--source", url}, "highest, 19"},
      {{"prefetch", "--bbox", "-80,-180,80,180", "--zoom", "0-12", "--source", url}, "smaller box"},
      {{"prefetch", "--bbox", "1,2,3,4", "--zoom", "3", "--source", "ftp://x"}, "tile URL template"},
      {{"prefetch", "--bbox", "1,2,3,4", "--zoom", "3"}, "tile usage policy"},
      {{"export", "out.mbtiles", "--bbox", "1,2,3,4", "--zoom", "3-4"}, "tile usage policy"},
      {{"export", "out.zip", "--bbox", "1,2,3,4", "--zoom", "3-4", "--source", url}, ".mbtiles"},
  };
  for (const Case& c : cases) {
    const MapRun r = Map(c.args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
  }
  EXPECT_EQ(server.Requests(), 0);
  const MapRun missing = Map({"prefetch", "--record", "/nonexistent.hj", "--zoom", "3", "--source", url});
  EXPECT_EQ(missing.status, 7);
}

TEST(ApctlMap, PrefetchResumesExportsAndInfoCounts) {
  apdesk::test::TestApp();
  QTemporaryDir cache;
  ::test::ScopedEnv xdg("XDG_CACHE_HOME", cache.path().toUtf8().constData());
  ::test::LoopbackTileServer server;
  ASSERT_TRUE(server.Start());
  const std::string url = server.Template().toStdString();
  server.Script("/13/4290/2868.png", {404, "none", {}, -1});
  const std::vector<std::string> area = {"--bbox", "47.36,8.52,47.39,8.56", "--zoom", "12-13", "--source",
                                         url};
  auto with = [&](std::vector<std::string> head) {
    head.insert(head.end(), area.begin(), area.end());
    return head;
  };
  const MapRun dry = Map(with({"prefetch", "--dry-run"}), true);
  EXPECT_EQ(dry.status, 0);
  EXPECT_EQ(dry.out, "{\"tiles\":6,\"cached\":0,\"fetched\":0,\"failed\":0,\"bytes\":0,\"dry_run\":true}\n");
  EXPECT_EQ(server.Requests(), 0);
  const MapRun first = Map(with({"prefetch"}), true);
  EXPECT_EQ(first.status, 1) << first.err;  // one tile failed
  EXPECT_NE(first.out.find("\"tiles\":6,\"cached\":0,\"fetched\":5,\"failed\":1"), std::string::npos)
      << first.out;
  EXPECT_NE(first.err.find("6 tiles, 0 stored already"), std::string::npos) << first.err;
  server.Script("/13/4290/2868.png", {200, ::test::PngOf(Qt::blue), {}, -1});
  const int asked = server.Requests();
  const MapRun again = Map(with({"prefetch"}));
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out.substr(0, again.out.find("\nbytes")), "tiles 6\ncached 5\nfetched 1\nfailed 0");
  EXPECT_EQ(server.Requests(), asked + 1);

  server.Stop();
  const std::string out = (cache.path() + "/field.mbtiles").toStdString();
  const MapRun exported = Map(with({"export", out}), true);
  EXPECT_EQ(exported.status, 0) << exported.err;
  EXPECT_NE(exported.out.find("\"tiles\":6,\"written\":6,\"missing\":0"), std::string::npos) << exported.out;
  const MapRun info = Map({"info"});
  EXPECT_EQ(info.status, 0);
  EXPECT_NE(info.out.find(cache.path().toStdString() + "/apdesk/tiles/tiles.sqlite"), std::string::npos)
      << info.out;
  EXPECT_NE(info.out.find("tiles 6 url:" + url), std::string::npos) << info.out;
}

}  // namespace
}  // namespace apdesk::cli
