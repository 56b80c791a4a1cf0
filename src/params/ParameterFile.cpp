#include "params/ParameterFile.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "cmdline/NearName.h"

namespace apdesk {

namespace {

bool IsPlainNumber(const std::string& text) {
  if (text.empty()) return false;
  std::size_t i = text[0] == '-' ? 1 : 0;
  bool digit = false, point = false;
  for (; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9') {
      digit = true;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digit;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// A text file holds no control bytes other than tab and the line ends.
bool HasBinaryBytes(const std::string& line) {
  return std::any_of(line.begin(), line.end(), [](char ch) {
    const unsigned char c = static_cast<unsigned char>(ch);
    return (c < 0x20 && c != '\t' && c != '\r') || c == 0x7f;
  });
}

// The note a "# key: value" comment line gives, if it is one.
void ReadNote(const std::string& line, FileNotes* notes) {
  struct Key {
    const char* prefix;
    std::string FileNotes::*field;
  };
  static const Key kKeys[] = {{"# time: ", &FileNotes::time},
                              {"# transport: ", &FileNotes::transport},
                              {"# firmware: ", &FileNotes::firmware},
                              {"# before: ", &FileNotes::write}};
  for (const Key& k : kKeys) {
    if (line.rfind(k.prefix, 0) == 0) notes->*k.field = Trimmed(line.substr(std::strlen(k.prefix)));
  }
}

// Notes are written on one line each; a line end inside one would start a
// value line.
std::string OneLine(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return text;
}

}  // namespace

std::vector<NamedValue> NamedParameters(const Parameters& p) {
  std::vector<NamedValue> out;
  for (const ParameterFacts& facts : ParameterTable())
    out.push_back({facts.name, FormatParameterValue(facts, p.Code(facts.id)), 0});
  return out;
}

std::vector<NamedValue> NamedParameters(const ParameterView& view) {
  const std::optional<Parameters> p = DecodeParameters(view.sentence.data());
  return p ? NamedParameters(*p) : std::vector<NamedValue>{};
}

std::string FormatNamedText(const std::vector<NamedValue>& values) {
  std::string out;
  for (const NamedValue& v : values) out += v.name + "=" + v.value + "\n";
  return out;
}

std::string FormatNamedJson(const std::vector<NamedValue>& values) {
  std::string out = "{";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out += ",";
    out += "\"" + values[i].name + "\":";
    out += IsPlainNumber(values[i].value) ? values[i].value : "\"" + values[i].value + "\"";
  }
  return out + "}";
}

std::string WithParameterFileSuffix(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return path;
  const std::size_t dot = name.rfind('.');
  // ".params" itself, "a." and "a" have no extension of their own.
  if (dot != std::string::npos && dot != 0 && dot + 1 < name.size()) return path;
  return path + (name.back() == '.' ? "params" : ".params");
}

std::string UnknownParameterText(const std::string& name) {
  std::vector<std::string> names;
  for (const ParameterFacts& facts : ParameterTable()) names.emplace_back(facts.name);
  const std::string near = NearestName(name, names);
  return "unknown parameter \"" + QuotedInput(name) + "\"" +
         (near.empty() ? std::string(" (apctl --help lists them)") : " (did you mean \"" + near + "\"?)");
}

bool ParseAssignment(const std::string& text, NamedValue* value, std::string* error) {
  const auto eq = text.find('=');
  if (eq == std::string::npos || eq == 0) {
    *error = "\"" + QuotedInput(text) + "\" is not NAME=VALUE";
    return false;
  }
  value->name = Trimmed(text.substr(0, eq));
  value->value = Trimmed(text.substr(eq + 1));
  if (!FindParameter(value->name)) {
    *error = UnknownParameterText(value->name);
    return false;
  }
  return true;
}

bool ApplyNamedValues(const std::vector<NamedValue>& values, bool withLines, Parameters* p,
                      std::string* error) {
  for (const NamedValue& v : values) {
    const std::string where = withLines ? "line " + std::to_string(v.line) + ": " : std::string();
    const ParameterFacts* facts = FindParameter(v.name);
    if (!facts) {
      *error = where + UnknownParameterText(v.name);
      return false;
    }
    std::string why;
    const std::optional<int> code = ParseParameterValue(*facts, v.value, p->Code(facts->id), &why);
    if (!code) {
      *error = where + v.name + ": " + why;
      return false;
    }
    p->SetCode(facts->id, *code);
  }
  return true;
}

std::vector<std::string> CompareReadBack(const ParameterBlock& written, const ParameterSentence& readBack) {
  const std::optional<Parameters> held = DecodeParameters(readBack.data());
  if (!held) return {"the controller's parameter sentence has a wrong sum"};
  const ParameterBlock have = EncodeParameters(*held);
  std::vector<std::string> out;
  ParameterBlock named{};  // the bits of each block byte a parameter owns
  for (const ParameterFacts& facts : ParameterTable()) {
    named[facts.blockByte] |= facts.mask;
    const int w = written[facts.blockByte] & facts.mask;
    const int h = have[facts.blockByte] & facts.mask;
    if (w != h) {
      out.push_back(std::string(facts.name) + ": the controller reports " +
                    FormatParameterValue(facts, held->Code(facts.id)) + " (byte " + std::to_string(h) +
                    "), not byte " + std::to_string(w) + " as written");
    }
  }
  for (std::size_t i = 0; i < written.size(); ++i) {
    const int carried = ~named[i] & 0xFF;
    const int w = written[i] & carried;
    const int h = have[i] & carried;
    if (w != h) {
      out.push_back("carried-over byte " + std::to_string(i) + " of the block: the controller reports " +
                    std::to_string(h) + ", not " + std::to_string(w) + " as written");
    }
  }
  return out;
}

std::string FormatParameterFile(const ParameterView& view) {
  const std::optional<Parameters> p = DecodeParameters(view.sentence.data());
  return FormatParameterFile(p.value_or(Parameters{view.sentence, {}}));
}

std::string FormatParameterFile(const Parameters& p, const FileNotes& notes) {
  std::string out =
      "# apctl parameter backup: one NAME=VALUE per line (apctl --help lists the names).\n"
      "# \"sentence\" is the controller's whole parameter sentence in hex; it carries\n"
      "# the bytes the tool does not name. Edit the named values, not the sentence.\n";
  if (!notes.time.empty()) out += "# time: " + OneLine(notes.time) + "\n";
  if (!notes.transport.empty()) out += "# transport: " + OneLine(notes.transport) + "\n";
  if (!notes.firmware.empty()) out += "# firmware: " + OneLine(notes.firmware) + "\n";
  if (!notes.write.empty()) out += "# before: " + OneLine(notes.write) + "\n";
  out += FormatNamedText(NamedParameters(p));
  out += "sentence=";
  static const char* kHex = "0123456789abcdef";
  for (std::uint8_t b : p.sentence) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out + "\n";
}

bool ParseParameterFile(const std::string& text, ParameterFile* file, std::string* error) {
  *file = ParameterFile{};
  // An editor may have put a byte-order mark in front, as it may CRLF line ends.
  const bool bom = text.compare(0, 3, "\xef\xbb\xbf") == 0;
  std::istringstream in(bom ? text.substr(3) : text);
  std::string raw;
  int lineNo = 0;
  bool haveSentence = false;
  while (std::getline(in, raw)) {
    ++lineNo;
    const std::string where = "line " + std::to_string(lineNo) + ": ";
    if (HasBinaryBytes(raw)) {
      *error = where + "binary bytes: this is not a parameter file";
      return false;
    }
    const std::string line = Trimmed(raw);
    if (line.empty()) continue;
    if (line[0] == '#') {
      ReadNote(line, &file->notes);
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos) {
      *error = where + "\"" + QuotedInput(line) + "\" is not NAME=VALUE";
      return false;
    }
    const std::string name = Trimmed(line.substr(0, eq));
    const std::string value = Trimmed(line.substr(eq + 1));
    if (name == "sentence") {
      if (haveSentence) {
        *error = where + "a second sentence";
        return false;
      }
      if (value.size() != file->sentence.size() * 2) {
        *error = where + "the sentence must be " + std::to_string(file->sentence.size() * 2) + " hex digits";
        return false;
      }
      for (std::size_t i = 0; i < file->sentence.size(); ++i) {
        const int hi = HexDigit(value[2 * i]), lo = HexDigit(value[2 * i + 1]);
        if (hi < 0 || lo < 0) {
          *error = where + "the sentence holds something other than hex digits";
          return false;
        }
        file->sentence[i] = static_cast<std::uint8_t>(hi * 16 + lo);
      }
      if (std::memcmp(file->sentence.data(), "$PAR", 4) != 0 || !DecodeParameters(file->sentence.data())) {
        *error = where + "the sentence is damaged (not \"$PAR\" or its sum is wrong)";
        return false;
      }
      haveSentence = true;
      file->sentenceLine = lineNo;
      continue;
    }
    if (!FindParameter(name)) {
      *error = where + "unknown parameter \"" + QuotedInput(name) + "\"";
      return false;
    }
    for (const NamedValue& seen : file->values) {
      if (seen.name == name) {
        *error = where + name + " is given twice (first on line " + std::to_string(seen.line) + ")";
        return false;
      }
    }
    file->values.push_back({name, value, lineNo});
  }
  if (!haveSentence) {
    *error = "line " + std::to_string(lineNo + 1) + ": the file ends without its \"sentence=\" line";
    return false;
  }
  return true;
}

bool ParametersFromFile(const ParameterFile& file, Parameters* p, std::string* error) {
  const std::optional<Parameters> kept = DecodeParameters(file.sentence.data());
  if (!kept) {
    *error = "line " + std::to_string(file.sentenceLine) + ": the sentence's sum is wrong";
    return false;
  }
  *p = *kept;
  return ApplyNamedValues(file.values, true, p, error);
}

bool BlockFromParameterFile(const ParameterFile& file, ParameterBlock* block, std::string* error) {
  Parameters p;
  if (!ParametersFromFile(file, &p, error)) return false;
  *block = EncodeParameters(p);
  return true;
}

bool BlockWithEdits(const ParameterSentence& current, const std::vector<NamedValue>& edits,
                    ParameterBlock* block, std::string* error) {
  std::optional<Parameters> p = DecodeParameters(current.data());
  if (!p) {
    *error = "the controller's parameter sentence has a wrong sum";
    return false;
  }
  if (!ApplyNamedValues(edits, false, &*p, error)) return false;
  *block = EncodeParameters(*p);
  return true;
}

}  // namespace apdesk
