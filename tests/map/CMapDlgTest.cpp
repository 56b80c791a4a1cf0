// Tools > Map against a tile server of the test's own on 127.0.0.1: the right
// tile at the right place (read back from the grabbed picture), home, the
// limits, follow, and the map from the store with the server stopped.
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include "app/QtTestApp.h"
#include "calibration/WindowTestSupport.h"
#include "common/LanguageTexts.h"
#include "common/LoopbackTileServer.h"
#include "common/PositionRecords.h"
#include "map/CMapDlg.h"
#include "map/MapView.h"
#include "map/TileService.h"
#include "map/TileStore.h"

namespace apdesk::map {
namespace {

const std::string kResources = std::string(APDESK_SOURCE_DIR) + "/resources/";
constexpr LatLon kField{47.3769, 8.5417};

struct MapFixture {
  explicit MapFixture(bool chinese) : texts(testsupport::LoadedTexts(kResources, chinese)) {
    EXPECT_TRUE(server.Start());
    std::string error;
    EXPECT_TRUE(store.Open(dir.path(), &error)) << error;
    EXPECT_TRUE(ChooseTileSource(server.Template().toStdString(), &source, &error));
    EXPECT_TRUE(service.SetSource(source, &error));
    dlg.Create();
    dlg.resize(720, 560);
    dlg.show();
  }
  void Feed(LatLon p, double course, double altitude, qint64 ms) {
    const std::vector<std::uint8_t> s = ::test::PositionRecord(p.lat, p.lon, course, altitude);
    dlg.AddStatusSentence(s.data(), ms);
  }
  // Waits until the view's tiles are in, then grabs it.
  QImage Settled() {
    dlg.Refresh();
    dlg.View()->grab();
    EXPECT_TRUE(QTest::qWaitFor([&] { return service.InFlight() == 0; }, 5000));
    QTest::qWait(50);
    return dlg.View()->grab().toImage();
  }
  // The tile under a point of the view shows that tile's own colour there.
  void ExpectTileUnder(const QImage& image, LatLon p, const char* what) {
    const QPointF at = dlg.View()->ScreenOf(p);
    const TileId t = TileAt(p, dlg.View()->Zoom());
    ASSERT_TRUE(image.rect().contains(at.toPoint())) << what;
    EXPECT_EQ(image.pixelColor(at.toPoint()), ::test::TileColour(t.z, t.x, t.y))
        << what << ": tile " << t.z << "/" << t.x << "/" << t.y;
  }
  QApplication& app = apdesk::test::TestApp();  // before any widget
  QTemporaryDir dir;
  ::test::LoopbackTileServer server;
  TileStore store;
  TileSource source;
  TileService service{&store};
  CLanguageManager texts;
  CMapDlg dlg{&service, texts};
};

TEST(MapWindow, LiveAircraftOverTheRightTilesWithHomeLimitsAndFollow) {
  MapFixture f(false);
  EXPECT_EQ(f.dlg.windowTitle(), "Map");
  EXPECT_EQ(f.dlg.LimitsText(), "Limits: not read yet");
  // Home at the first fix; the aircraft flies 300 m north-east and climbs 25 m.
  for (int i = 0; i <= 30; ++i) f.Feed(Destination(kField, 45, i * 10.0), 45, 100 + i * 25.0 / 30, i * 100);
  const QImage image = f.Settled();
  ASSERT_TRUE(f.dlg.Home().has_value());
  EXPECT_NEAR(f.dlg.Home()->lat, kField.lat, 1e-5);
  EXPECT_EQ(f.dlg.DistanceText(), "From home: 300 m");
  EXPECT_EQ(f.dlg.HeightText(), "Above home: 25.0 m");
  EXPECT_GT(f.dlg.TrailPoints(), 20u);
  // Following: the aircraft in the middle of the view.
  const QPointF a = f.dlg.View()->ScreenOf(*f.dlg.Aircraft());
  EXPECT_NEAR(a.x(), f.dlg.View()->width() / 2.0, 1.0);
  EXPECT_NEAR(a.y(), f.dlg.View()->height() / 2.0, 1.0);
  // Tiles at their places, away from the drawings over them.
  for (const QPointF& offset : {QPointF(-300, -200), QPointF(250, 180), QPointF(-250, 200)}) {
    const LatLon p = FromWorld({ToWorld(*f.dlg.Aircraft(), f.dlg.View()->Zoom()).x + offset.x(),
                                ToWorld(*f.dlg.Aircraft(), f.dlg.View()->Zoom()).y + offset.y()},
                               f.dlg.View()->Zoom());
    f.ExpectTileUnder(image, p, "live");
  }

  // The limits once the parameters are read: the circle's radius in pixels.
  const std::vector<std::uint8_t> par = ::test::LimitsSentence(120, 500);
  f.dlg.AddParameterSentence(par.data());
  f.Feed(Destination(kField, 45, 300), 45, 130, 3200);
  f.dlg.Refresh();
  EXPECT_EQ(f.dlg.LimitsText(), "Limits: 500 m from home, 120 m high");
  // A parameter sentence with a wrong sum changes nothing.
  std::vector<std::uint8_t> bad = ::test::LimitsSentence(10, 10);
  bad[44] ^= 1;
  f.dlg.AddParameterSentence(bad.data());
  f.dlg.Refresh();
  EXPECT_EQ(f.dlg.LimitsText(), "Limits: 500 m from home, 120 m high");
  apdesk::testing::KeepScreenshot(&f.dlg, "map-live-english");

  // Panning by hand stops following; the next fix does not pull the view back.
  QTest::mousePress(f.dlg.View(), Qt::LeftButton, {}, QPoint(300, 300));
  QTest::mouseMove(f.dlg.View(), QPoint(200, 250));
  QTest::mouseRelease(f.dlg.View(), Qt::LeftButton, {}, QPoint(200, 250));
  EXPECT_FALSE(f.dlg.Follow());
  const LatLon centre = f.dlg.View()->Centre();
  f.Feed(Destination(kField, 45, 310), 45, 130, 3300);
  f.dlg.Refresh();
  EXPECT_NEAR(f.dlg.View()->Centre().lat, centre.lat, 1e-9);

  // Redraws are bounded by the timer, not by the sentences: 50 Hz for 2 s.
  const std::uint64_t before = f.dlg.Redraws();
  QElapsedTimer took;
  took.start();
  for (int i = 0; i < 100; ++i) {
    f.Feed(Destination(kField, 90, i), 90, 100, 4000 + i * 20);
    QTest::qWait(20);
  }
  EXPECT_LE(f.dlg.Redraws() - before, static_cast<std::uint64_t>(took.elapsed() / CMapDlg::kRedrawMs + 3));
  EXPECT_GE(f.dlg.Redraws() - before, 5u);
}

TEST(MapWindow, StoredTilesWithTheServerStoppedAndNeverAskedTwice) {
  MapFixture f(false);
  f.dlg.SetFollow(true);
  f.Feed(kField, 0, 50, 0);
  f.Settled();
  const int asked = f.server.Requests();
  ASSERT_GT(asked, 0);
  // Redrawn, zoomed out and back: no tile asked again.
  f.dlg.View()->SetZoom(f.dlg.View()->Zoom() - 1);
  f.Settled();
  const int afterZoomOut = f.server.Requests();
  f.dlg.View()->SetZoom(f.dlg.View()->Zoom() + 1);
  f.Settled();
  EXPECT_EQ(f.server.Requests(), afterZoomOut);
  EXPECT_GT(afterZoomOut, asked);

  // The server stops; a view one zoom in draws its missing tiles from the
  // stored lower zoom, scaled up, and says it is offline in one line.
  f.server.Stop();
  f.dlg.View()->SetZoom(f.dlg.View()->Zoom() + 1);
  f.dlg.View()->grab();
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.service.NetworkDown(); }, 12000));
  const QImage image = f.dlg.View()->grab().toImage();
  EXPECT_TRUE(f.dlg.View()->OfflineShown());
  // Under a point the colour is that of its parent tile, the one stored.
  const LatLon p = FromWorld(
      {ToWorld(kField, f.dlg.View()->Zoom()).x - 200, ToWorld(kField, f.dlg.View()->Zoom()).y + 150},
      f.dlg.View()->Zoom());
  const TileId parent = TileAt(p, f.dlg.View()->Zoom() - 1);
  EXPECT_EQ(image.pixelColor(f.dlg.View()->ScreenOf(p).toPoint()),
            ::test::TileColour(parent.z, parent.x, parent.y));
  apdesk::testing::KeepScreenshot(&f.dlg, "map-offline-english");
  EXPECT_LE(f.dlg.View()->DecodedBytes(), MapView::kDecodedBytes);
}

TEST(MapWindow, ChineseTexts) {
  MapFixture f(true);
  f.Feed(kField, 30, 50, 0);
  for (int i = 1; i <= 20; ++i) f.Feed(Destination(kField, 120, i * 8.0), 120, 60, i * 100);
  const std::vector<std::uint8_t> par = ::test::LimitsSentence(100, 200);
  f.dlg.AddParameterSentence(par.data());
  f.Settled();
  EXPECT_EQ(f.dlg.windowTitle(), QString::fromUtf8("地图"));
  EXPECT_EQ(f.dlg.findChild<QCheckBox*>()->text(), QString::fromUtf8("跟随飞行器"));
  EXPECT_EQ(f.dlg.DistanceText(), QString::fromUtf8("距家: 160 米"));
  EXPECT_EQ(f.dlg.LimitsText(), QString::fromUtf8("限制: 距家 200 米, 高 100 米"));
  apdesk::testing::KeepScreenshot(&f.dlg, "map-live-chinese");
}

}  // namespace
}  // namespace apdesk::map

namespace apdesk::map {
namespace {

// A replay after a live session: home is taken again, from the replay's
// first fix, and the trail starts anew.
TEST(MapWindow, AReplayTakesItsOwnHome) {
  MapFixture f(false);
  f.Feed(kField, 0, 50, 0);
  f.dlg.ResetHome();
  const LatLon start = Destination(kField, 200, 400);
  for (int i = 0; i < 60; ++i)
    f.Feed(Destination(start, 10 + i * 3, i * 4.0), 10 + i * 3, 60 + i * 0.5, 1000 + i * 100);
  f.Settled();
  ASSERT_TRUE(f.dlg.Home().has_value());
  EXPECT_NEAR(DistanceMetres(*f.dlg.Home(), start), 0, 0.5);
  EXPECT_EQ(f.dlg.HeightText(), "Above home: 29.5 m");
  apdesk::testing::KeepScreenshot(&f.dlg, "map-replay-english");
}

}  // namespace
}  // namespace apdesk::map
