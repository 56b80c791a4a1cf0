#pragma once
// The controller's parameters by name, as apctl reads and writes them and as
// parameter files hold them. Names, words, ranges and bytes are the parameter
// table's (protocol/ParameterTable.h).

#include <string>
#include <vector>

#include "protocol/ParameterCodec.h"
#include "protocol/ParameterTable.h"

namespace apdesk {

struct NamedValue {
  std::string name;
  std::string value;
  int line = 0;  // where it came from in a file, 0 otherwise
};

// The fourteen values of a decoded sentence, in table order.
std::vector<NamedValue> NamedParameters(const Parameters& p);
std::vector<NamedValue> NamedParameters(const ParameterView& view);

// "NAME=VALUE" lines, or one JSON object (numbers bare, words quoted).
std::string FormatNamedText(const std::vector<NamedValue>& values);
std::string FormatNamedJson(const std::vector<NamedValue>& values);

// "NAME=VALUE" into its two halves; false with a message otherwise.
bool ParseAssignment(const std::string& text, NamedValue* value, std::string* error);
// The name a saved parameter file gets: one typed without an extension
// gets ".params", so Load's filter shows it.
std::string WithParameterFileSuffix(const std::string& path);

// "unknown parameter "NAME"" with the nearest parameter's name when one is
// near enough to be a slip of the keyboard.
std::string UnknownParameterText(const std::string& name);

// Puts named values into `p` (decoded from the sentence whose other bytes the
// block will carry). A code no word names ("code:N") is accepted only as the
// value already held. False with "[line N: ]NAME: ..." at the first value
// that is not one of the parameter's.
bool ApplyNamedValues(const std::vector<NamedValue>& values, bool withLines, Parameters* p,
                      std::string* error);

// What differs between the block that was written and the sentence the
// controller sent back, one message per parameter; empty when it holds all
// of it. `readBack` must be a sentence whose sum holds.
std::vector<std::string> CompareReadBack(const ParameterBlock& written, const ParameterSentence& readBack);

// Optional lines a file may carry above its values, as "# key: value"
// comments: a snapshot's time, transport, firmware and the write it preceded.
struct FileNotes {
  std::string time;       // "2026-12-08T07:21:32Z"
  std::string transport;  // "usb", "serial:/dev/ttyUSB0", "sim"
  std::string firmware;   // as the telemetry reports it
  std::string write;      // "send", "default", "params set", ...
};

// The parameter file: a comment, the fourteen NAME=VALUE lines and the whole
// sentence in hex ("sentence=..."), which keeps the bytes the tool carries
// over without naming them.
std::string FormatParameterFile(const ParameterView& view);
std::string FormatParameterFile(const Parameters& p, const FileNotes& notes = {});

struct ParameterFile {
  ParameterSentence sentence{};
  int sentenceLine = 0;
  std::vector<NamedValue> values;  // in file order, each name at most once
  FileNotes notes;
};

// False with "line N: ..." when the file is damaged: a line that is no
// NAME=VALUE, an unknown or repeated name, a missing or broken sentence.
bool ParseParameterFile(const std::string& text, ParameterFile* file, std::string* error);

// The parameters a file restores: its sentence with its named values. False
// with "line N: NAME: ..." when a value is out of range.
bool ParametersFromFile(const ParameterFile& file, Parameters* p, std::string* error);
bool BlockFromParameterFile(const ParameterFile& file, ParameterBlock* block, std::string* error);

// The block `params set` writes: the controller's sentence with the edits.
bool BlockWithEdits(const ParameterSentence& current, const std::vector<NamedValue>& edits,
                    ParameterBlock* block, std::string* error);

}  // namespace apdesk
