#pragma once
// apctl map prefetch | export | info: tiles for the field, fetched ahead
// into the one tile store, written into an MBTiles file, or counted.

#include <iosfwd>
#include <string>
#include <vector>

namespace apdesk::cli {

// `args` are the words after "map"; `settingsPath` is the windows' settings
// file (its [MAP] SOURCE is the default source). Exit status: 0 all done,
// 1 some tiles failed or are missing, 2 a bad command line, 7 a file error.
int RunMapCommand(std::vector<std::string> args, bool json, const std::string& settingsPath,
                  std::ostream& out, std::ostream& err);

}  // namespace apdesk::cli
