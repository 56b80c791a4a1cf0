// The tile store, the service and the apctl jobs against a tile server of
// the test's own on 127.0.0.1.
#include <gtest/gtest.h>
#include <QDateTime>
#include <QProcess>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>

#include "app/QtTestApp.h"
#include "common/LoopbackTileServer.h"
#include "map/MapJobs.h"
#include "map/MbtilesFile.h"
#include "map/TileService.h"
#include "map/TileStore.h"

namespace apdesk::map {
namespace {

struct Fixture {
  Fixture() {
    apdesk::test::TestApp();
    EXPECT_TRUE(server.Start());
    std::string error;
    EXPECT_TRUE(store.Open(dir.path() + "/store", &error)) << error;
    EXPECT_TRUE(ChooseTileSource(server.Template().toStdString(), &source, &error)) << error;
    EXPECT_TRUE(service.SetSource(source, &error)) << error;
  }
  bool WaitIdle() {
    return QTest::qWaitFor([&] { return service.InFlight() == 0; }, 5000);
  }
  QTemporaryDir dir;
  ::test::LoopbackTileServer server;
  TileStore store;
  TileSource source;
  TileService service{&store};
};

TEST(TileService, StoredTilesAreNotFetchedAgainAndRequestsArePolite) {
  Fixture f;
  f.server.SetDelayMs(40);
  for (int x = 0; x < 12; ++x) EXPECT_FALSE(f.service.Tile({5, x, 3}).has_value());
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.server.Requests() == 12 && f.service.InFlight() == 0; }, 10000));
  EXPECT_EQ(f.server.MostAtOnce(), TileService::kMaxPerHost);
  EXPECT_TRUE(f.server.LastUserAgent().startsWith("apdesk/"));
  EXPECT_TRUE(f.server.LastUserAgent().contains("(+http"));
  for (int x = 0; x < 12; ++x) {
    const std::optional<QByteArray> tile = f.service.Tile({5, x, 3});
    ASSERT_TRUE(tile.has_value());
    EXPECT_EQ(QImage::fromData(*tile).pixelColor(10, 10), ::test::TileColour(5, x, 3));
  }
  QTest::qWait(100);
  EXPECT_EQ(f.server.Requests(), 12);
  // Above the source's highest zoom nothing is asked.
  EXPECT_FALSE(f.service.Request({20, 0, 0}));
  // The store is one for every user: a second service on the same file has them.
  TileService other(&f.store);
  std::string error;
  ASSERT_TRUE(other.SetSource(f.source, &error));
  EXPECT_TRUE(other.Tile({5, 4, 3}).has_value());
  EXPECT_EQ(f.store.TilesPerSource().at(0).second, 12);
}

TEST(TileService, FailedAnswersAreNeverStoredAndWaitBeforeTheNextTry) {
  Fixture f;
  const QByteArray png = ::test::PngOf(Qt::red);
  struct Case {
    const char* path;
    ::test::TileAnswer answer;
  };
  const Case cases[] = {
      {"/3/0/0.png", {404, "not found", {}, -1}},
      {"/3/1/0.png", {500, "oops", {}, -1}},
      {"/3/2/0.png", {200, "<html>blocked</html>", {{"Content-Type", "text/html"}}, -1}},
      {"/3/3/0.png", {200, png, {}, static_cast<int>(png.size() / 2)}},
      {"/3/4/0.png", {200, QByteArray(300, '\x7f'), {}, -1}},
  };
  for (const Case& c : cases) f.server.Script(c.path, c.answer);
  int failed = 0;
  QObject::connect(&f.service, &TileService::TileFailed, [&] { ++failed; });
  for (int x = 0; x < 5; ++x) f.service.Tile({3, x, 0});
  ASSERT_TRUE(QTest::qWaitFor([&] { return failed == 5; }, 5000));
  const qint64 now = QDateTime::currentSecsSinceEpoch();
  for (int x = 0; x < 5; ++x) {
    bool fresh = true;
    EXPECT_FALSE(f.store.Has(f.source.Key(), {3, x, 0}, now, &fresh)) << cases[x].path;
    EXPECT_GT(f.store.RetryAt(f.source.Key(), {3, x, 0}), now) << cases[x].path;
    EXPECT_FALSE(f.service.Request({3, x, 0})) << "asked again within the back-off: " << cases[x].path;
  }
  EXPECT_EQ(f.store.TilesPerSource().size(), 0u);
  EXPECT_FALSE(f.service.NetworkDown());
  // An operator's prefetch asks again, and a good answer now is stored.
  f.server.Script("/3/0/0.png", {200, png, {}, -1});
  ASSERT_TRUE(f.service.Request({3, 0, 0}, true));
  ASSERT_TRUE(f.WaitIdle());
  EXPECT_TRUE(f.service.Tile({3, 0, 0}).has_value());
  EXPECT_EQ(f.store.RetryAt(f.source.Key(), {3, 0, 0}), 0);
}

TEST(TileService, StaleTilesAreRevalidatedAndAStoppedServerLeavesTheStore) {
  Fixture f;
  f.server.SetDefaultHeaders({{"Cache-Control", "no-cache"}, {"ETag", "\"v1\""}});
  f.service.Tile({4, 1, 1});
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.server.Requests() == 1 && f.service.InFlight() == 0; }, 5000));
  f.server.Script("/4/1/1.png", {304, "", {{"Cache-Control", "max-age=3600"}}, -1});
  ASSERT_TRUE(f.service.Tile({4, 1, 1}).has_value());  // stale: shown, and asked again with its ETag
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.server.Requests() == 2 && f.service.InFlight() == 0; }, 5000));
  EXPECT_EQ(f.server.LastIfNoneMatch(), "\"v1\"");
  bool fresh = false;
  EXPECT_TRUE(f.store.Has(f.source.Key(), {4, 1, 1}, QDateTime::currentSecsSinceEpoch(), &fresh));
  EXPECT_TRUE(fresh);
  const QImage kept = QImage::fromData(*f.service.Tile({4, 1, 1}));
  EXPECT_EQ(kept.pixelColor(0, 0), ::test::TileColour(4, 1, 1));

  // The server goes away: one failure marks the network down, the stored
  // tile is still given, and nothing more is asked for a while.
  f.server.Stop();
  f.service.Tile({4, 2, 2});
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.service.NetworkDown(); }, 12000));
  EXPECT_TRUE(f.service.Tile({4, 1, 1}).has_value());
  EXPECT_FALSE(f.service.Request({4, 3, 3}));
  EXPECT_EQ(f.service.InFlight(), 0);
}

TEST(TileStore, SizeCapDropsTheLeastRecentlyUsed) {
  QTemporaryDir dir;
  apdesk::test::TestApp();
  TileStore store;
  std::string error;
  ASSERT_TRUE(store.Open(dir.path(), &error)) << error;
  const QByteArray tile(1000, 'x');
  store.SetCapBytes(10'000);
  for (int x = 0; x < 9; ++x) ASSERT_TRUE(store.Put("s", {9, x, 0}, tile, "", 0));
  store.Get("s", {9, 0, 0});  // used lately: kept
  ASSERT_TRUE(store.Put("s", {9, 9, 0}, tile, "", 0));
  ASSERT_TRUE(store.Put("s", {9, 10, 0}, tile, "", 0));  // over the cap: trimmed to 90 %
  EXPECT_LE(store.SizeBytes(), 9000);
  EXPECT_TRUE(store.Get("s", {9, 0, 0}).has_value());
  EXPECT_TRUE(store.Get("s", {9, 10, 0}).has_value());
  EXPECT_FALSE(store.Get("s", {9, 1, 0}).has_value());
  EXPECT_FALSE(store.Get("s", {9, 2, 0}).has_value());
}

TEST(MapJobs, PrefetchResumesAndExportIsAStandardMbtilesFile) {
  Fixture f;
  const Box box{47.36, 8.52, 47.39, 8.56};
  const TileCover cover = TileCover::OfBox(box, 12, 14);
  f.server.Script("/14/8580/5736.png", {503, "busy", {}, -1});
  {
    PrefetchJob job(&f.store, &f.service);
    job.Plan(cover);
    EXPECT_EQ(job.Counts().tiles, cover.Count());
    EXPECT_EQ(job.Counts().cached, 0u);
    job.Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return job.Done(); }, 20000));
    EXPECT_EQ(job.Counts().fetched, cover.Count() - 1);
    EXPECT_EQ(job.Counts().failed, 1u);
    EXPECT_GT(job.Counts().bytes, 0u);
  }
  const int asked = f.server.Requests();
  {
    PrefetchJob again(&f.store, &f.service);
    again.Plan(cover);
    EXPECT_EQ(again.Counts().cached, cover.Count() - 1);
    again.Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return again.Done(); }, 5000));
    EXPECT_EQ(f.server.Requests(), asked + 1);  // only the one that failed
  }
  // Export from the store alone, with the server gone.
  f.server.Stop();
  const QString out = f.dir.path() + "/field.mbtiles";
  ExportCounts counts;
  std::string error;
  ASSERT_TRUE(ExportMbtiles(f.store, f.source, cover, 12, 14, out, &counts, &error)) << error;
  EXPECT_EQ(counts.tiles, cover.Count());
  EXPECT_EQ(counts.missing, 1u);
  // Refused over an existing file.
  ExportCounts refused;
  EXPECT_FALSE(ExportMbtiles(f.store, f.source, cover, 12, 14, out, &refused, &error));
  EXPECT_NE(error.find("exists"), std::string::npos);

  auto sqlite = [&](const QString& sql) {
    QProcess p;
    p.start("sqlite3", {out, sql});
    EXPECT_TRUE(p.waitForFinished(10000));
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
  };
  EXPECT_EQ(sqlite("SELECT value FROM metadata WHERE name='format'"), "png");
  EXPECT_EQ(sqlite("SELECT value FROM metadata WHERE name='minzoom'") + "-" +
                sqlite("SELECT value FROM metadata WHERE name='maxzoom'"),
            "12-14");
  EXPECT_EQ(sqlite("SELECT value FROM metadata WHERE name='bounds'"),
            "8.520000,47.360000,8.560000,47.390000");
  EXPECT_EQ(sqlite("SELECT value FROM metadata WHERE name='name'"), "field");
  EXPECT_FALSE(sqlite("SELECT value FROM metadata WHERE name='attribution'").isEmpty());
  EXPECT_EQ(sqlite("SELECT COUNT(*) FROM tiles").toULongLong(), counts.written);
  // Rows are TMS: tile 12/2145/1434 is row 4095 - 1434.
  EXPECT_EQ(sqlite("SELECT COUNT(*) FROM tiles WHERE zoom_level=12 AND tile_column=2145 AND tile_row=2661"),
            "1");

  // The export serves as a source: the same tile, right way up.
  TileSource fromFile;
  ASSERT_TRUE(ChooseTileSource(out.toStdString(), &fromFile, &error));
  TileService offline(nullptr);
  ASSERT_TRUE(offline.SetSource(fromFile, &error)) << error;
  EXPECT_EQ(offline.Source().maxZoom, 14);
  const std::optional<QByteArray> t = offline.Tile({12, 2145, 1434});
  ASSERT_TRUE(t.has_value());
  EXPECT_EQ(QImage::fromData(*t).pixelColor(5, 5), ::test::TileColour(12, 2145, 1434));
}

TEST(MapJobs, BadMbtilesFilesAreRefusedWithAReason) {
  apdesk::test::TestApp();
  QTemporaryDir dir;
  const QString garbage = dir.path() + "/garbage.mbtiles";
  QFile g(garbage);
  ASSERT_TRUE(g.open(QIODevice::WriteOnly));
  g.write(QByteArray(4096, 'g'));
  g.close();
  const QString plain = dir.path() + "/plain.mbtiles";
  QProcess::execute("sqlite3", {plain, "CREATE TABLE t(a)"});
  for (const QString& path : {garbage, plain, dir.path() + "/missing.mbtiles", dir.path()}) {
    MbtilesFile file;
    std::string error;
    EXPECT_FALSE(file.OpenForReading(path, &error)) << path.toStdString();
    EXPECT_NE(error.find(path.toStdString()), std::string::npos) << error;
  }
  // Nothing was written into the files looked at.
  EXPECT_EQ(QFileInfo(garbage).size(), 4096);
}

}  // namespace
}  // namespace apdesk::map
