// The flight-record viewer's track over the map: the map under the track from
// a tile server of the test's own on 127.0.0.1, the shared cursor marked at
// its record's place, and the switch back to the grid.
#include <gtest/gtest.h>
#include <qcustomplot.h>
#include <QCheckBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include "app/QtTestApp.h"
#include "calibration/WindowTestSupport.h"
#include "common/LanguageTexts.h"
#include "common/LoopbackTileServer.h"
#include "common/ScopedEnv.h"
#include "map/MapView.h"
#include "map/TileService.h"
#include "map/TileStore.h"
#include "viewer/CFlightRecordsDlg.h"
#include "viewer/FlightRecordBytes.h"

namespace apdesk {
namespace {

// A square circuit of 200 m sides, ten records a second.
test::Bytes Square() {
  test::Bytes file;
  for (int i = 0; i < 800; ++i) {
    test::FlightPoint p;
    const int side = i / 200, along = i % 200;
    p.east = side == 0 ? along : side == 1 ? 200 : side == 2 ? 200 - along : 0;
    p.north = side == 0 ? 0 : side == 1 ? along : side == 2 ? 200 : 200 - along;
    p.second = i / 10;
    p.altitudeTenths = 300;
    test::Append(file, test::FlightRecord(p));
  }
  return file;
}

void CheckTrackOverMap(bool chinese) {
  apdesk::test::TestApp();
  ::test::ScopedEnv lang("LANG", chinese ? "zh_CN.UTF-8" : "C");
  ::test::ScopedEnv all("LC_ALL", nullptr);
  ::test::ScopedEnv messages("LC_MESSAGES", nullptr);
  QTemporaryDir dir;
  ::test::LoopbackTileServer server;
  ASSERT_TRUE(server.Start());
  map::TileStore store;
  std::string error;
  ASSERT_TRUE(store.Open(dir.path(), &error)) << error;
  map::TileService service(&store);
  map::TileSource source;
  ASSERT_TRUE(map::ChooseTileSource(server.Template().toStdString(), &source, &error));
  ASSERT_TRUE(service.SetSource(source, &error));
  const QString file = dir.path() + "/20240501080000.hj";
  test::WriteFile(file.toStdString(), Square());

  const CLanguageManager texts = testsupport::ProgramTexts();

  CFlightRecordsDlg dlg(texts, nullptr);
  dlg.SetMapTiles(&service);
  dlg.resize(1200, 800);
  dlg.show();
  dlg.ShowFile(file);
  map::MapView* view = dlg.TrackMap();
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isVisible());
  // The whole square in sight, at a street zoom.
  EXPECT_GE(view->Zoom(), 15);
  dlg.SetCursorIndex(300);  // 100 m up the east side
  view->grab();
  ASSERT_TRUE(QTest::qWaitFor([&] { return service.InFlight() == 0 && server.Requests() > 0; }, 5000));
  QTest::qWait(50);
  const QImage image = view->grab().toImage();
  double lat = 0, lon = 0;
  ASSERT_TRUE(PositionAt(dlg.Flight(), 300, &lat, &lon));
  const QPoint cursor = view->ScreenOf({lat, lon}).toPoint();
  ASSERT_TRUE(image.rect().contains(cursor));
  EXPECT_EQ(image.pixelColor(cursor), QColor(0xFF, 0xD0, 0x00));  // the cursor's mark
  // The track's start (south-west corner) lies on the square's place, in red.
  ASSERT_TRUE(PositionAt(dlg.Flight(), 100, &lat, &lon));
  const QColor corner = image.pixelColor(view->ScreenOf({lat, lon}).toPoint());
  EXPECT_GE(corner.red(), 0xC0);
  EXPECT_LE(corner.green(), 0x50);
  // And a tile at its place beside the track.
  const map::LatLon beside = map::Destination({lat, lon}, 180, 60);
  const map::TileId t = map::TileAt(beside, view->Zoom());
  EXPECT_EQ(image.pixelColor(view->ScreenOf(beside).toPoint()), ::test::TileColour(t.z, t.x, t.y));
  apdesk::testing::KeepScreenshot(&dlg, chinese ? "viewer-track-map-chinese" : "viewer-track-map-english");
  EXPECT_EQ(dlg.MapSwitch()->text(),
            chinese ? QString::fromUtf8("轨迹下显示地图") : QString("Map under the track"));

  // The switch brings the grid back.
  dlg.MapSwitch()->setChecked(false);
  EXPECT_FALSE(view->isVisible());
  EXPECT_TRUE(dlg.findChild<QCustomPlot*>(QStringLiteral("flightTrack"))->isVisible());
}

TEST(FlightTrackMap, TrackAndCursorOverTheMapEnglish) {
  CheckTrackOverMap(false);
}
TEST(FlightTrackMap, TrackAndCursorOverTheMapChinese) {
  CheckTrackOverMap(true);
}

}  // namespace
}  // namespace apdesk
