#pragma once
// "did you mean ...": the known name nearest to a mistyped one.

#include <string>
#include <string_view>
#include <vector>

namespace apdesk {

// The candidate closest to `typed` by edit distance (a swap of two
// neighbouring letters counts as one edit, case is ignored), when it is close
// enough to be a slip of the keyboard: at most a third of its length, and at
// most 3. Empty when none is. Leading dashes are compared as they stand, so
// "--conect" finds "--connect".
std::string NearestName(std::string_view typed, const std::vector<std::string>& candidates);

// " (did you mean \"NAME\"?)" for the nearest name, or empty.
std::string DidYouMean(std::string_view typed, const std::vector<std::string>& candidates);

}  // namespace apdesk
