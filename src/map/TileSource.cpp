#include "map/TileSource.h"

#ifndef APDESK_VERSION_TEXT
#error "APDESK_VERSION_TEXT comes from the build"
#endif

namespace apdesk::map {

TileSource BuiltinOsmSource() {
  TileSource s;
  s.kind = TileSource::Kind::Url;
  s.location = kOsmTemplate;
  s.attribution = "\xC2\xA9 OpenStreetMap contributors";
  s.maxZoom = 19;
  s.builtinOsm = true;
  return s;
}

bool ChooseTileSource(const std::string& text, TileSource* source, std::string* error) {
  if (text.empty() || text == kOsmTemplate) {
    *source = BuiltinOsmSource();
    return true;
  }
  if (text.starts_with("http://") || text.starts_with("https://")) {
    for (const char* part : {"{z}", "{x}", "{y}"}) {
      if (text.find(part) == std::string::npos) {
        *error = "the tile URL \"" + text + "\" lacks " + part +
                 " (a template looks like https://host/{z}/{x}/{y}.png)";
        return false;
      }
    }
    TileSource s;
    s.location = text;
    s.attribution = "Map tiles: " + text.substr(0, text.find('/', text.find("//") + 2));
    *source = s;
    return true;
  }
  if (text.size() > 8 && text.ends_with(".mbtiles")) {
    TileSource s;
    s.kind = TileSource::Kind::Mbtiles;
    s.location = text;
    s.maxZoom = 22;
    *source = s;
    return true;
  }
  *error = "a map source is a tile URL template (http://... with {z}, {x}, {y}) or an .mbtiles file, not \"" +
           text + "\"";
  return false;
}

std::string OfflineUseRefusal() {
  return "OpenStreetMap's tile usage policy (https://operations.osmfoundation.org/policies/tiles/) allows "
         "its "
         "tiles for interactive viewing only: no bulk downloading, no download for offline use, no tile "
         "archives. "
         "To work offline, choose --source with your own tile server, a provider whose terms allow offline "
         "use, "
         "or an MBTiles file made elsewhere.";
}

std::string TileUserAgent() {
  return std::string("apdesk/") + APDESK_VERSION_TEXT + " (+" + APDESK_PROJECT_URL + ")";
}

}  // namespace apdesk::map
