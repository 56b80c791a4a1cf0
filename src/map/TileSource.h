#pragma once
// Where tiles come from: a URL template with {z}, {x} and {y} (with its
// attribution and highest zoom) or an MBTiles file. The built-in source is
// OpenStreetMap's standard tiles, for interactive viewing only.

#include <string>

namespace apdesk::map {

struct TileSource {
  enum class Kind { Url, Mbtiles };
  Kind kind = Kind::Url;
  std::string location;  // the URL template or the MBTiles file's path
  std::string attribution;
  int maxZoom = 19;
  bool builtinOsm = false;

  // The store's key of the source's tiles.
  std::string Key() const { return (kind == Kind::Url ? "url:" : "mbtiles:") + location; }
};

inline constexpr const char* kOsmTemplate = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
TileSource BuiltinOsmSource();

// A URL template (http or https, with {z}, {x} and {y}) or a path ending in
// ".mbtiles"; an empty text is the built-in source. False with the reason
// otherwise. An MBTiles file is only named here; it is opened when used.
bool ChooseTileSource(const std::string& text, TileSource* source, std::string* error);

// Why prefetch and export refuse the built-in source, and what to do instead.
std::string OfflineUseRefusal();

// "apdesk/VERSION (+URL)", sent with every tile request.
std::string TileUserAgent();

}  // namespace apdesk::map
