#pragma once
// Writing a result file so that a reader never sees half of it, and what the
// operator named stays what it was: a regular file (or a new name) is written
// beside itself and renamed over, so it holds the old text or the new one; a
// symbolic link is followed and keeps pointing where it pointed; a device or
// a named pipe is written through, as a shell's `>` would.

#include <functional>
#include <ostream>
#include <string>
#include <string_view>

namespace apdesk {

// Writes text as the whole of path. On failure returns false, says why in
// *error ("cannot write PATH: REASON") and leaves a regular file as it was.
bool WriteWholeFile(const std::string& path, std::string_view text, std::string* error);

// The same for a result made piece by piece (an export larger than memory):
// `produce` writes it to the stream and returns false, with a message, when
// it cannot make it. Nothing is renamed over a regular file then.
using FileProducer = std::function<bool(std::ostream& out, std::string* error)>;
bool WriteFileStreamed(const std::string& path, const FileProducer& produce, std::string* error);

// The reason for errno err in the operator's words, for "cannot write X: ...".
std::string FileErrorReason(int err);

}  // namespace apdesk
