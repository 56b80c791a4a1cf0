#pragma once
// The one way the programs write a whole file, so that a reader never sees
// half of it: a regular file (or a new name) is written under a temporary
// name in the same folder, flushed to the disk, renamed over the old one and
// the folder flushed too; the file keeps the permissions of the one it
// replaces. What else may stand at the name is decided by the rules.

#include <functional>
#include <ostream>
#include <string>
#include <string_view>

namespace apdesk {

struct WholeFileRules {
  // A symbolic link is followed (the file it leads to is replaced and the
  // link stays) or refused.
  bool followLinks = true;
  // A device or named pipe is written in place, as a shell's `>` would, or
  // refused.
  bool writeThrough = true;
};

// Files the operator names (exports, results, saved parameters): what the
// name leads to stays what it was.
inline constexpr WholeFileRules kNamedFileRules{true, true};
// Files the programs keep for themselves (the settings file): a link is
// followed, as the operator may have put the file elsewhere, but nothing
// but a regular file is written.
inline constexpr WholeFileRules kSettingsFileRules{true, false};
// Files in folders the programs fill alone (parameter snapshots): only a
// regular file, never a link, which can only have been put there by
// someone else.
inline constexpr WholeFileRules kOwnFileRules{false, false};

// Writes text as the whole of path. On failure returns false, says why in
// *error ("cannot write PATH: REASON") and leaves a regular file as it was.
bool WriteWholeFile(const std::string& path, std::string_view text, std::string* error,
                    WholeFileRules rules = kNamedFileRules);

// The same for a result made piece by piece (an export larger than memory):
// `produce` writes it to the stream and returns false, with a message, when
// it cannot make it. Nothing is renamed over a regular file then.
using FileProducer = std::function<bool(std::ostream& out, std::string* error)>;
bool WriteFileStreamed(const std::string& path, const FileProducer& produce, std::string* error,
                       WholeFileRules rules = kNamedFileRules);

// The reason for errno err in the operator's words, for "cannot write X: ...".
std::string FileErrorReason(int err);

}  // namespace apdesk
