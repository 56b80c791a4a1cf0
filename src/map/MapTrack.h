#pragma once
// The fixes of flight-record files as a track for the map (what a prefetch
// or export of a record covers). Plain C++.

#include <string>
#include <vector>

#include "map/MapMath.h"

namespace apdesk::map {

// Appends the position of every record with a GPS fix. False, with a message
// naming the file, when it cannot be read.
bool AppendRecordTrack(const std::string& path, std::vector<LatLon>* track, std::string* error);

}  // namespace apdesk::map
