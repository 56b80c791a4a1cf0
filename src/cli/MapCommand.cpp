#include "cli/MapCommand.h"

#include <QEventLoop>
#include <QFileInfo>
#include <optional>
#include <ostream>

#include "cli/CliArgs.h"
#include "cli/ExitStatus.h"
#include "core/SettingsStore.h"
#include "map/MapJobs.h"
#include "map/MapTrack.h"
#include "map/TileService.h"
#include "map/TileStore.h"
#include "recorder/RecordFile.h"

namespace apdesk::cli {

namespace {

using namespace apdesk::map;

// More than this is no field but a country: refused, with the count.
constexpr std::uint64_t kMaxTiles = 1'000'000;

struct MapArgs {
  TileCover cover;
  int first = 0, last = 0;
  TileSource source;
};

int Fail(std::ostream& err, int status, const std::string& message) {
  err << "apctl: map: " << message << "\n";
  return status;
}

// --bbox S,W,N,E | --record FILE..., --zoom A[-B], --source S.
int TakeMapArgs(std::vector<std::string>& args, const std::string& settingsPath, bool zoomSpan, MapArgs* m,
                std::ostream& err) {
  std::string error;
  std::optional<std::string> bbox, zoom, source;
  if (!TakeStringOption(args, "--bbox", "", &bbox, &error) ||
      !TakeStringOption(args, "--zoom", "", &zoom, &error) ||
      !TakeStringOption(args, "--source", "", &source, &error))
    return Fail(err, kExitUsage, error);
  std::vector<std::string> records;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--record") continue;
    std::size_t j = i + 1;
    while (j < args.size() && !args[j].starts_with("--")) records.push_back(args[j++]);
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(j));
    --i;
  }
  if (bbox.has_value() == !records.empty())
    return Fail(err, kExitUsage, "give either --bbox S,W,N,E or --record FILE...");
  if (!zoom) return Fail(err, kExitUsage, zoomSpan ? "--zoom A-B is needed" : "--zoom A[-B] is needed");
  if (!ParseZoomSpan(*zoom, &m->first, &m->last, &error)) return Fail(err, kExitUsage, error);
  if (!source) source = SettingsStore(settingsPath).GetSettingString("MAP", "SOURCE", "");
  if (!ChooseTileSource(*source, &m->source, &error)) return Fail(err, kExitUsage, error);
  if (m->last > m->source.maxZoom)
    return Fail(err, kExitUsage,
                "zoom " + std::to_string(m->last) + " is above the source's highest, " +
                    std::to_string(m->source.maxZoom));
  if (bbox) {
    Box box;
    if (!ParseBox(*bbox, &box, &error)) return Fail(err, kExitUsage, error);
    m->cover = TileCover::OfBox(box, m->first, m->last);
  } else {
    std::vector<LatLon> track;
    for (const std::string& r : records)
      if (!AppendRecordTrack(r, &track, &error)) return Fail(err, kExitFileError, error);
    if (track.empty())
      return Fail(err, kExitFileError, "the record files hold no GPS fix, so no place to fetch");
    m->cover = TileCover::OfTrack(track, m->first, m->last);
  }
  if (m->cover.Count() > kMaxTiles)
    return Fail(err, kExitUsage,
                std::to_string(m->cover.Count()) + " tiles are more than " + std::to_string(kMaxTiles) +
                    "; choose a smaller box or fewer zooms");
  if (!args.empty()) return Fail(err, kExitUsage, "unexpected argument \"" + args.front() + "\"");
  return kExitOk;
}

bool OpenStore(TileStore* store, std::ostream& err) {
  std::string error;
  if (store->Open(TileStore::DefaultFolder(), &error)) return true;
  Fail(err, kExitFileError, error);
  return false;
}

int Prefetch(std::vector<std::string>& args, bool json, const std::string& settingsPath, std::ostream& out,
             std::ostream& err) {
  const bool dryRun = TakeFlag(args, "--dry-run");
  MapArgs m;
  if (const int s = TakeMapArgs(args, settingsPath, false, &m, err); s != kExitOk) return s;
  if (m.source.builtinOsm) return Fail(err, kExitUsage, "prefetch refused: " + OfflineUseRefusal());
  if (m.source.kind == TileSource::Kind::Mbtiles)
    return Fail(err, kExitUsage, "an MBTiles file is offline already; prefetch fetches from a tile server");
  TileStore store;
  if (!OpenStore(&store, err)) return kExitFileError;
  TileService service(&store);
  std::string error;
  if (!service.SetSource(m.source, &error)) return Fail(err, kExitUsage, error);
  PrefetchJob job(&store, &service);
  job.Plan(m.cover);
  const PrefetchCounts& c = job.Counts();
  err << "apctl: map: " << c.tiles << " tiles, " << c.cached << " stored already\n";
  if (!dryRun) {
    QEventLoop loop;
    QObject::connect(&job, &PrefetchJob::Finished, &loop, &QEventLoop::quit);
    QObject::connect(&job, &PrefetchJob::Progress, [&](std::uint64_t done, std::uint64_t total) {
      if (done % 100 == 0 || done == total)
        err << "apctl: map: " << done << " of " << total << " (" << c.failed << " failed)\n";
    });
    job.Start();
    if (!job.Done()) loop.exec();
  }
  if (json) {
    out << "{\"tiles\":" << c.tiles << ",\"cached\":" << c.cached << ",\"fetched\":" << c.fetched
        << ",\"failed\":" << c.failed << ",\"bytes\":" << c.bytes << (dryRun ? ",\"dry_run\":true" : "")
        << "}\n";
  } else {
    out << "tiles " << c.tiles << "\ncached " << c.cached << "\nfetched " << c.fetched << "\nfailed "
        << c.failed << "\nbytes " << c.bytes << "\n";
  }
  return c.failed ? kExitFailure : kExitOk;
}

int Export(std::vector<std::string>& args, bool json, const std::string& settingsPath, std::ostream& out,
           std::ostream& err) {
  if (args.empty() || args.front().starts_with("--"))
    return Fail(err, kExitUsage, "export needs OUT.mbtiles first");
  const std::string path = args.front();
  args.erase(args.begin());
  if (!path.ends_with(".mbtiles")) return Fail(err, kExitUsage, "the export's file name ends in .mbtiles");
  MapArgs m;
  if (const int s = TakeMapArgs(args, settingsPath, true, &m, err); s != kExitOk) return s;
  if (m.source.builtinOsm) return Fail(err, kExitUsage, "export refused: " + OfflineUseRefusal());
  if (m.source.kind == TileSource::Kind::Mbtiles)
    return Fail(err, kExitUsage, "export reads a tile server's stored tiles");
  TileStore store;
  if (!OpenStore(&store, err)) return kExitFileError;
  map::ExportCounts c;
  std::string error;
  if (!ExportMbtiles(store, m.source, m.cover, m.first, m.last, QString::fromStdString(path), &c, &error))
    return Fail(err, kExitFileError, error);
  if (json) {
    out << "{\"file\":" << JsonString(path) << ",\"tiles\":" << c.tiles << ",\"written\":" << c.written
        << ",\"missing\":" << c.missing << "}\n";
  } else {
    out << "file " << path << "\ntiles " << c.tiles << "\nwritten " << c.written << "\nmissing " << c.missing
        << "\n";
  }
  if (c.missing)
    err << "apctl: map: " << c.missing << " tiles are not in the store (apctl map prefetch fetches them)\n";
  return c.missing ? kExitFailure : kExitOk;
}

int Info(std::vector<std::string>& args, bool json, std::ostream& out, std::ostream& err) {
  if (!args.empty()) return Fail(err, kExitUsage, "unexpected argument \"" + args.front() + "\"");
  TileStore store;
  if (!OpenStore(&store, err)) return kExitFileError;
  const auto sources = store.TilesPerSource();
  if (json) {
    out << "{\"store\":" << JsonString(store.FilePath().toStdString()) << ",\"bytes\":" << store.SizeBytes()
        << ",\"sources\":[";
    for (std::size_t i = 0; i < sources.size(); ++i)
      out << (i ? "," : "") << "{\"source\":" << JsonString(sources[i].first)
          << ",\"tiles\":" << sources[i].second << "}";
    out << "]}\n";
  } else {
    out << "store " << store.FilePath().toStdString() << "\nbytes " << store.SizeBytes() << "\n";
    for (const auto& [source, tiles] : sources) out << "tiles " << tiles << " " << source << "\n";
  }
  return kExitOk;
}

}  // namespace

int RunMapCommand(std::vector<std::string> args, bool json, const std::string& settingsPath,
                  std::ostream& out, std::ostream& err) {
  if (args.empty()) return Fail(err, kExitUsage, "use prefetch, export or info");
  const std::string sub = args.front();
  args.erase(args.begin());
  if (TakeFlag(args, "--json")) json = true;
  if (sub == "prefetch") return Prefetch(args, json, settingsPath, out, err);
  if (sub == "export") return Export(args, json, settingsPath, out, err);
  if (sub == "info") return Info(args, json, out, err);
  return Fail(err, kExitUsage, "unknown map command \"" + sub + "\": use prefetch, export or info");
}

}  // namespace apdesk::cli
