#include "map/MapMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace apdesk::map {
namespace {

TEST(MapMath, TilesOfKnownPlaces) {
  struct Case {
    double lat, lon;
    int z, x, y;
  };
  const Case cases[] = {
      {51.5074, -0.1278, 10, 511, 340},         // London
      {51.5074, -0.1278, 16, 32744, 21792},     //
      {47.3769, 8.5417, 12, 2145, 1434},        // Zurich
      {-33.8568, 151.2153, 14, 15073, 9831},    // Sydney
      {35.6586, 139.7454, 18, 232831, 103246},  // Tokyo
      {40.6892, -74.0445, 5, 9, 12},            // New York
      {0, 0, 0, 0, 0},
      {0, 0, 1, 1, 1},
      {90, 0, 8, 128, 0},     // the pole clamps to the top row
      {-90, 0, 8, 128, 255},  // and the bottom one
      {10, 180, 3, 7, 3},     // the antimeridian stays inside the world
      {10, -180, 3, 0, 3},
      {10, 540, 3, 0, 3},  // longitudes wrap (540 is -180)
  };
  for (const Case& c : cases) {
    const TileId t = TileAt({c.lat, c.lon}, c.z);
    EXPECT_EQ(t, (TileId{c.z, c.x, c.y}))
        << c.lat << "," << c.lon << " z" << c.z << " gave " << t.x << "," << t.y;
  }
}

TEST(MapMath, WorldRoundTripAndScale) {
  for (double z : {0.0, 5.5, 17.0}) {
    for (LatLon p : {LatLon{47.3769, 8.5417}, LatLon{-60, -170}, LatLon{84, 179.9}}) {
      const LatLon back = FromWorld(ToWorld(p, z), z);
      EXPECT_NEAR(back.lat, p.lat, 1e-9);
      EXPECT_NEAR(back.lon, p.lon, 1e-9);
    }
  }
  // 156543.03 m per pixel at the equator at zoom 0, halving with each zoom, cos(lat) shorter.
  EXPECT_NEAR(MetresPerPixel(0, 0), 156543.03, 0.1);
  EXPECT_NEAR(MetresPerPixel(60, 1), 156543.03 / 4, 0.1);
  EXPECT_NEAR(ToWorld({90, 0}, 0).y, 0, 1e-6);
}

TEST(MapMath, DistanceAndBearingOnTheSphere) {
  EXPECT_NEAR(DistanceMetres({0, 0}, {0, 1}), 111195.08, 0.1);
  EXPECT_NEAR(DistanceMetres({48.8566, 2.3522}, {51.5074, -0.1278}), 343556, 300);  // Paris - London
  EXPECT_NEAR(DistanceMetres({0, 179.5}, {0, -179.5}), 111195.08,
              0.1);  // across the antimeridian, not around
  EXPECT_NEAR(BearingDegrees({0, 0}, {1, 0}), 0, 1e-9);
  EXPECT_NEAR(BearingDegrees({0, 0}, {0, 1}), 90, 1e-9);
  EXPECT_NEAR(BearingDegrees({0, 0}, {-1, 0}), 180, 1e-9);
  EXPECT_NEAR(BearingDegrees({0, 0}, {0, -1}), 270, 1e-9);
  EXPECT_NEAR(BearingDegrees({0, 179.5}, {0, -179.5}), 90, 1e-9);
  const LatLon d = Destination({47.3769, 8.5417}, 30, 500);
  EXPECT_NEAR(DistanceMetres({47.3769, 8.5417}, d), 500, 1e-6);
  EXPECT_NEAR(BearingDegrees({47.3769, 8.5417}, d), 30, 1e-6);
}

TEST(MapMath, BoxesAndZoomsFromTheCommandLine) {
  Box b;
  std::string error;
  ASSERT_TRUE(ParseBox("47.36,8.52,47.39,8.56", &b, &error));
  EXPECT_EQ(b.south, 47.36);
  EXPECT_EQ(b.east, 8.56);
  ASSERT_TRUE(ParseBox("50,179,52,-179", &b, &error)) << error;  // across the antimeridian
  for (const char* bad : {"", "1,2,3", "1,2,3,4,5", "a,b,c,d", "52,8,50,9", "-91,0,0,1", "0,0,91,1",
                          "0,-181,1,0", "0,5,1,5", "nan,0,1,1", "1e999,0,1,1", "1,2,3,4x"}) {
    error.clear();
    EXPECT_FALSE(ParseBox(bad, &b, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  int a = -1, z = -1;
  ASSERT_TRUE(ParseZoomSpan("12", &a, &z, &error));
  EXPECT_EQ(a, 12);
  EXPECT_EQ(z, 12);
  ASSERT_TRUE(ParseZoomSpan("3-16", &a, &z, &error));
  EXPECT_EQ(a, 3);
  EXPECT_EQ(z, 16);
  for (const char* bad : {"", "-", "16-3", "0-23", "x", "1-", "-1"})
    EXPECT_FALSE(ParseZoomSpan(bad, &a, &z, &error)) << bad;
}

TEST(MapMath, CoversAreCountedBeforeAnyFetch) {
  // The whole world: 1 + 4 + 16 tiles at zooms 0-2.
  EXPECT_EQ(TileCover::OfBox({-90, -180, 90, 180}, 0, 2).Count(), 21u);
  // Across the antimeridian at zoom 3: columns 7 and 0 only, two ranges.
  const std::vector<TileRange> r = RangesOf({50, 179, 52, -179}, 3);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].x0, 7);
  EXPECT_EQ(r[0].x1, 7);
  EXPECT_EQ(r[1].x0, 0);
  EXPECT_EQ(r[1].x1, 0);
  const TileCover across = TileCover::OfBox({50, 179, 52, -179}, 3, 3);
  std::set<TileId> seen;
  across.ForEach([&](TileId t) { return seen.insert(t).second; });
  EXPECT_EQ(seen.size(), across.Count());
  EXPECT_EQ(seen.size(), 2u);
  // A box of a field: each count matches the listed tiles.
  const TileCover field = TileCover::OfBox({47.36, 8.52, 47.39, 8.56}, 10, 16);
  std::uint64_t listed = 0;
  field.ForEach([&](TileId t) {
    EXPECT_GE(t.z, 10);
    ++listed;
    return true;
  });
  EXPECT_EQ(listed, field.Count());
  EXPECT_EQ(TileCover::OfBox({47.36, 8.52, 47.39, 8.56}, 16, 16).Count(), 8u * 9u);
  // A track: its tiles and their neighbours, each once; a standing aircraft
  // covers nine tiles per zoom, and at zoom 0 the one tile.
  const std::vector<LatLon> still(1000, LatLon{47.3769, 8.5417});
  EXPECT_EQ(TileCover::OfTrack(still, 0, 0).Count(), 1u);
  EXPECT_EQ(TileCover::OfTrack(still, 14, 15).Count(), 18u);
  EXPECT_EQ(TileCover::OfTrack({}, 0, 18).Count(), 0u);
}

TEST(MapMath, TileUrlsAndMbtilesRows) {
  EXPECT_EQ(TileUrl("http://127.0.0.1:8080/{z}/{x}/{y}.png", {12, 2145, 1434}),
            "http://127.0.0.1:8080/12/2145/1434.png");
  EXPECT_EQ(TileUrl("x{y}{y}{z", {1, 0, 1}), "x11{z");
  EXPECT_EQ(TmsRow({0, 0, 0}), 0);
  EXPECT_EQ(TmsRow({3, 5, 0}), 7);
  EXPECT_EQ(TmsRow({12, 2145, 1434}), 2661);
}

TEST(MapMath, OnlyWholeImagesAreTiles) {
  const std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0,    0,    0,
                                         13,   'I', 'H', 'D', 'R',  0,    0,    0,    1,    0,    0,
                                         0,    1,   8,   2,   0,    0,    0,    0,    0,    0,    0,
                                         0,    0,   0,   'I', 'E',  'N',  'D',  0xAE, 0x42, 0x60, 0x82};
  EXPECT_EQ(JudgeTileImage(png.data(), png.size()), TileImage::Png);
  EXPECT_EQ(JudgeTileImage(png.data(), png.size() - 5), TileImage::None);  // cut off
  const std::uint8_t jpeg[] = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3, 0xFF, 0xD9};
  EXPECT_EQ(JudgeTileImage(jpeg, sizeof jpeg), TileImage::Jpeg);
  EXPECT_EQ(JudgeTileImage(jpeg, sizeof jpeg - 1), TileImage::None);
  const std::uint8_t webp[] = {'R', 'I', 'F', 'F', 8, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', ' '};
  EXPECT_EQ(JudgeTileImage(webp, sizeof webp), TileImage::Webp);
  const std::string html = "<html><body>Access blocked</body></html>";
  EXPECT_EQ(JudgeTileImage(reinterpret_cast<const std::uint8_t*>(html.data()), html.size()), TileImage::None);
  EXPECT_EQ(JudgeTileImage(nullptr, 0), TileImage::None);
}

TEST(MapMath, FreshnessAndBackOff) {
  const long long now = 1'800'000'000;
  struct Case {
    const char* cacheControl;
    long long expires;
    bool store;
    long long freshFor;
  };
  const Case cases[] = {
      {"", -1, true, kDefaultFreshSeconds},
      {"max-age=604800", -1, true, 604800},
      {"public, Max-Age=60", now + 999, true, 60},  // max-age wins over Expires
      {"", now + 3600, true, 3600},
      {"no-cache", -1, true, 0},
      {"no-store", -1, false, kDefaultFreshSeconds},
      {"max-age=abc", now + 10, true, 10},
  };
  for (const Case& c : cases) {
    const Freshness f = FreshnessOf(c.cacheControl, c.expires, now);
    EXPECT_EQ(f.store, c.store) << c.cacheControl;
    EXPECT_EQ(f.freshUntil - now, c.freshFor) << c.cacheControl;
  }
  EXPECT_EQ(RetryDelaySeconds(0), 0);
  EXPECT_EQ(RetryDelaySeconds(1), 30);
  EXPECT_EQ(RetryDelaySeconds(3), 120);
  EXPECT_EQ(RetryDelaySeconds(40), 24 * 3600);
}

}  // namespace
}  // namespace apdesk::map
