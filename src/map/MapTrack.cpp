#include "map/MapTrack.h"

#include "recorder/RecordFile.h"

namespace apdesk::map {

bool AppendRecordTrack(const std::string& path, std::vector<LatLon>* track, std::string* error) {
  RecordReader reader;
  if (!reader.Open(path, error)) return false;
  while (const std::uint8_t* r = reader.Next()) {
    const StatusFields f = ReadStatusFields(r);
    if (HasGpsFix(f)) track->push_back({f.latitude, f.longitude});
  }
  if (reader.ReadFailed()) {
    *error = path + ": read error";
    return false;
  }
  return true;
}

}  // namespace apdesk::map
