// A parameter backup file of any content is either refused with a message
// naming a line or turned into a block; a saved file loads back unless a
// limit is beyond the range a Send accepts.
#include <cstdlib>
#include <string>

#include "cli/ParamNames.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  apdesk::cli::ParameterFile file;
  std::string error;
  if (!apdesk::cli::ParseParameterFile(text, &file, &error)) {
    if (error.rfind("line ", 0) != 0) std::abort();
    return 0;
  }
  apdesk::ParameterBlock block{};
  if (!apdesk::cli::BlockFromParameterFile(file, &block, &error)) {
    if (error.empty()) std::abort();
  }
  // What the file's sentence says, saved again, must load without complaint.
  const auto view = apdesk::DecodeParameterSentence(file.sentence.data());
  if (!view) std::abort();
  apdesk::cli::ParameterFile again;
  if (!apdesk::cli::ParseParameterFile(apdesk::cli::FormatParameterFile(*view), &again, &error)) std::abort();
  // Only the limits can be beyond what a Send accepts (codes up to 2550 m).
  if (!apdesk::cli::BlockFromParameterFile(again, &block, &error) &&
      error.find("_limit: ") == std::string::npos)
    std::abort();
  return 0;
}
