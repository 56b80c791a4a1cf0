#include "cmdline/NearName.h"

#include <algorithm>
#include <cctype>

namespace apdesk {
namespace {

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Optimal string alignment distance: insertions, deletions, substitutions
// and swaps of neighbours, each one edit.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  const std::size_t n = a.size(), m = b.size();
  std::vector<std::size_t> prev2(m + 1), prev(m + 1), row(m + 1);
  for (std::size_t j = 0; j <= m; ++j) prev[j] = j;
  for (std::size_t i = 1; i <= n; ++i) {
    row[0] = i;
    for (std::size_t j = 1; j <= m; ++j) {
      const bool same = Lower(a[i - 1]) == Lower(b[j - 1]);
      row[j] = std::min({prev[j] + 1, row[j - 1] + 1, prev[j - 1] + (same ? 0 : 1)});
      if (i > 1 && j > 1 && Lower(a[i - 1]) == Lower(b[j - 2]) && Lower(a[i - 2]) == Lower(b[j - 1])) {
        row[j] = std::min(row[j], prev2[j - 2] + 1);
      }
    }
    prev2.swap(prev);
    prev.swap(row);
  }
  return prev[m];
}

}  // namespace

std::string NearestName(std::string_view typed, const std::vector<std::string>& candidates) {
  // Dashes do not count towards the length that bounds the edits.
  std::size_t letters = typed.size();
  for (char c : typed) {
    if (c != '-') break;
    --letters;
  }
  const std::size_t allowed = std::min<std::size_t>(3, std::max<std::size_t>(1, letters / 3));
  std::string best;
  std::size_t bestDistance = allowed + 1;
  for (const std::string& candidate : candidates) {
    const std::size_t d = EditDistance(typed, candidate);
    if (d < bestDistance) {
      bestDistance = d;
      best = candidate;
    }
  }
  return best;
}

std::string DidYouMean(std::string_view typed, const std::vector<std::string>& candidates) {
  const std::string near = NearestName(typed, candidates);
  return near.empty() ? std::string() : " (did you mean \"" + near + "\"?)";
}

}  // namespace apdesk
