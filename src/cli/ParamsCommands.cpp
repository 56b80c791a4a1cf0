// The parameter commands: params get, set, save, load, diff, history and
// restore, and defaults. Every write is read back and confirmed, and is
// preceded by a snapshot of what the controller held.
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <optional>
#include <sstream>

#include "cli/CommandContext.h"
#include "cli/ExitStatus.h"
#include "cli/ParamNames.h"
#include "cli/TelemetryText.h"
#include "core/AppFolder.h"
#include "files/WholeFile.h"
#include "localisation/LanguageFile.h"
#include "params/SnapshotStore.h"

namespace apdesk::cli {

namespace {

// A parameter file is under a kilobyte; anything this large is another file.
constexpr std::size_t kMaxParameterFileBytes = kMaxSnapshotBytes;

std::string TransportName(const ConnectSpec& t) {
  switch (t.kind) {
    case ConnectSpec::Kind::Usb:
      return "usb";
    case ConnectSpec::Kind::UsbPath:
      return "usb:" + t.path;
    case ConnectSpec::Kind::Serial:
      return "serial:" + t.path;
    case ConnectSpec::Kind::HidSock:
      return "hidsock:" + t.path;
    case ConnectSpec::Kind::Sim:
      break;
  }
  return "sim";
}

// Stores what the controller holds before `write` changes it. A write goes
// ahead without a snapshot only when the operator said so.
bool SnapshotBefore(Context& c, const ParameterSentence& held, const std::string& write, bool noSnapshot,
                    int* status) {
  if (noSnapshot) return true;
  const std::optional<Parameters> p = DecodeParameters(held.data());
  if (!p) {
    *status = c.Fail(kExitFailure, "the controller's parameter sentence has a wrong sum; nothing was sent");
    return false;
  }
  FileNotes notes;
  notes.transport = TransportName(c.options.connect);
  notes.write = write;
  std::string path, error;
  if (!SnapshotStore().Store(*p, notes, &path, &error)) {
    *status = c.Fail(kExitFileError, error + "; nothing was sent (--no-snapshot writes without one)");
    return false;
  }
  c.err << "apctl: snapshot " << path << "\n";
  return true;
}

// English texts of the parameters' labels, units and descriptions.
struct ParameterTexts {
  LanguageSection pub, window;
  std::string Find(const LanguageSection& s, const std::string& key) const {
    for (std::size_t i = 0; i < s.keys.size(); ++i)
      if (s.keys[i] == key) return s.values[i];
    return {};
  }
};

ParameterTexts ReadParameterTexts() {
  ParameterTexts t;
  char exe[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  const std::string folder = LanguageFolderFor(AppFolderFromExecutablePath(n > 0 ? exe : "./apctl"));
  ReadLanguageSection(folder + "Default.ini", "public", false, t.pub);
  ReadLanguageSection(folder + "Default.ini", "parameter", false, t.window);
  return t;
}

int PrintParametersVerbose(Context& c, const ParameterView& view) {
  const std::optional<Parameters> p = DecodeParameters(view.sentence.data());
  if (!p) return c.Fail(kExitFailure, "the controller's parameter sentence has a wrong sum");
  const ParameterTexts texts = ReadParameterTexts();
  std::string json = "[";
  for (const ParameterFacts& facts : ParameterTable()) {
    const std::string value = FormatParameterValue(facts, p->Code(facts.id));
    const std::string unit = facts.unitKey ? texts.Find(texts.pub, facts.unitKey) : "";
    const std::string label = texts.Find(texts.window, std::to_string(facts.labelControl));
    const std::string description = texts.Find(texts.pub, facts.descriptionKey);
    const std::string allowed = AllowedValues(facts);
    if (c.options.json) {
      if (json.size() > 1) json += ",";
      json += "{\"name\":" + JsonString(facts.name) + ",\"value\":" + JsonString(value) +
              ",\"unit\":" + JsonString(unit) + ",\"allowed\":" + JsonString(allowed) +
              ",\"label\":" + JsonString(label) + ",\"description\":" + JsonString(description) + "}";
    } else {
      c.out << facts.name << "=" << value << "\n    " << label << (unit.empty() ? "" : " (" + unit + ")")
            << "; " << allowed << ". " << description << "\n";
    }
  }
  if (c.options.json) c.out << json << "]\n";
  return kExitOk;
}

// A snapshot's name, or the path of a parameter file; parsed and checked.
bool ReadSnapshotOrFile(Context& c, const std::string& what, ParameterFile* file, std::string* shownAs,
                        int* status) {
  std::string path = what;
  struct stat info {};
  if (stat(what.c_str(), &info) != 0) {
    SnapshotEntry entry;
    std::string error;
    if (!SnapshotStore().Find(what, &entry, &error)) {
      *status = c.Fail(kExitFileError, error);
      return false;
    }
    path = entry.path;
  }
  std::string text, error;
  if (!ReadTextFile(path, kMaxParameterFileBytes, &text, &error)) {
    *status = c.Fail(kExitFileError, error);
    return false;
  }
  if (!ParseParameterFile(text, file, &error)) {
    *status = c.Fail(kExitFileError, path + ": " + error + "; nothing was sent");
    return false;
  }
  *shownAs = path;
  return true;
}

int PrintParameters(Context& c, const ParameterView& view) {
  const std::vector<NamedValue> values = NamedParameters(view);
  c.out << (c.options.json ? FormatNamedJson(values) + "\n" : FormatNamedText(values));
  return kExitOk;
}

// The number a value text holds, when it is one.
std::optional<double> NumberIn(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || !std::isfinite(v)) return std::nullopt;
  return v;
}

// Writes the block, reads back and compares. `edits` (from the command line)
// are checked against what was confirmed, so a value the controller keeps in
// coarser steps is not passed off as written as given.
int WriteAndConfirm(Context& c, CliLink& link, const ParameterBlock& block,
                    const std::vector<NamedValue>& edits = {}) {
  link.Commands().SendParameters(block);
  link.Sleep(300);  // as the window waits after a restore, before asking again
  const std::optional<ParameterView> back = link.ReadParameters();
  if (!back) return c.NoAnswer(link, true);
  const std::vector<std::string> differences = CompareReadBack(block, back->sentence);
  if (!differences.empty()) {
    for (const std::string& d : differences) c.err << "apctl: " << d << "\n";
    return c.Fail(kExitMismatch, "the controller did not take the values written");
  }
  PrintParameters(c, *back);
  const std::vector<NamedValue> confirmed = NamedParameters(*back);
  for (const NamedValue& edit : edits) {
    for (const NamedValue& held : confirmed) {
      if (held.name != edit.name) continue;
      const std::optional<double> asked = NumberIn(edit.value), got = NumberIn(held.value);
      if (asked && got && *asked != *got) {
        c.err << "apctl: " << edit.name << "=" << edit.value
              << " was rounded to the controller's step: " << held.value << "\n";
      }
    }
  }
  c.err << "apctl: written and confirmed by reading back\n";
  return kExitOk;
}

int CmdParamsGet(Context& c) {
  const bool verbose = TakeFlag(c.args, "--verbose");
  int status = 0;
  if (!NoExtraArgs(c, &status)) return status;
  CliLink link;
  if (!OpenLink(c, link, false, &status)) return status;
  const std::optional<ParameterView> view = link.ReadParameters();
  if (!view) return c.NoAnswer(link);
  if (verbose) return PrintParametersVerbose(c, *view);
  return PrintParameters(c, *view);
}

int CmdParamsSet(Context& c) {
  const bool noSnapshot = TakeFlag(c.args, "--no-snapshot");
  if (c.args.empty()) return c.Fail(kExitUsage, "params set needs NAME=VALUE ...");
  std::vector<NamedValue> edits;
  for (const std::string& a : c.args) {
    NamedValue v;
    std::string error;
    if (!ParseAssignment(a, &v, &error)) return c.Fail(kExitBadValue, error + "; nothing was sent");
    for (const NamedValue& earlier : edits) {
      if (earlier.name == v.name)
        return c.Fail(kExitUsage, v.name + " is given twice (" + earlier.value + " and " + v.value +
                                      "); nothing was sent");
    }
    edits.push_back(v);
  }
  int status = 0;
  CliLink link;
  if (!OpenLink(c, link, false, &status)) return status;
  const std::optional<ParameterView> current = link.ReadParameters();
  if (!current) return c.NoAnswer(link);
  ParameterBlock block{};
  std::string error;
  if (!BlockWithEdits(current->sentence, edits, &block, &error))
    return c.Fail(kExitBadValue, error + "; nothing was sent");
  if (!SnapshotBefore(c, current->sentence, "params set", noSnapshot, &status)) return status;
  return WriteAndConfirm(c, link, block, edits);
}

int CmdParamsSave(Context& c) {
  if (c.args.size() != 1) return c.Fail(kExitUsage, "params save needs one FILE");
  const std::string path = c.args.front();
  int status = 0;
  CliLink link;
  if (!OpenLink(c, link, false, &status)) return status;
  const std::optional<ParameterView> view = link.ReadParameters();
  if (!view) return c.NoAnswer(link);
  std::string error;
  if (!WriteWholeFile(path, FormatParameterFile(*view), &error)) return c.Fail(kExitFileError, error);
  c.err << "apctl: parameters saved to " << path << "\n";
  return kExitOk;
}

int CmdParamsLoad(Context& c) {
  const bool noSnapshot = TakeFlag(c.args, "--no-snapshot");
  if (c.args.size() != 1) return c.Fail(kExitUsage, "params load needs one FILE");
  const std::string path = c.args.front();
  std::string text, error;
  if (!ReadTextFile(path, kMaxParameterFileBytes, &text, &error)) return c.Fail(kExitFileError, error);
  ParameterFile file;
  if (!ParseParameterFile(text, &file, &error))
    return c.Fail(kExitFileError, path + ": " + error + "; nothing was sent");
  ParameterBlock block{};
  if (!BlockFromParameterFile(file, &block, &error))
    return c.Fail(kExitBadValue, path + ": " + error + "; nothing was sent");
  int status = 0;
  CliLink link;
  if (!OpenLink(c, link, false, &status)) return status;
  // Only a controller that answers is written to.
  const std::optional<ParameterView> held = link.ReadParameters();
  if (!held) return c.NoAnswer(link);
  if (!SnapshotBefore(c, held->sentence, "params load", noSnapshot, &status)) return status;
  // The file's values are checked against what is confirmed, as params set's.
  return WriteAndConfirm(c, link, block, file.values);
}

// The values of a snapshot or file, checked before the controller is
// opened, then what the controller holds.
bool ReadFileThenController(Context& c, const std::string& what, const char* refusalTail, CliLink& link,
                            Parameters* wanted, Parameters* held, std::vector<NamedValue>* named,
                            int* status) {
  ParameterFile file;
  std::string path, error;
  if (!ReadSnapshotOrFile(c, what, &file, &path, status)) return false;
  *named = file.values;
  if (!ParametersFromFile(file, wanted, &error)) {
    *status = c.Fail(kExitBadValue, path + ": " + error + refusalTail);
    return false;
  }
  if (!OpenLink(c, link, false, status)) return false;
  const std::optional<ParameterView> view = link.ReadParameters();
  const std::optional<Parameters> decoded =
      view ? DecodeParameters(view->sentence.data()) : std::optional<Parameters>{};
  if (!decoded) {
    *status = c.NoAnswer(link);
    return false;
  }
  *held = *decoded;
  return true;
}

// The named values that differ between the controller and a file.
int CmdParamsDiff(Context& c) {
  if (c.args.size() != 1) return c.Fail(kExitUsage, "params diff needs one FILE");
  Parameters wanted, held;
  std::vector<NamedValue> named;
  int status = 0;
  CliLink link;
  if (!ReadFileThenController(c, c.args.front(), "", link, &wanted, &held, &named, &status)) return status;
  std::string json = "[";
  int differing = 0;
  for (const ParameterFacts& facts : ParameterTable()) {
    const std::string have = FormatParameterValue(facts, held.Code(facts.id));
    std::string want = FormatParameterValue(facts, wanted.Code(facts.id));
    bool differs = held.Code(facts.id) != wanted.Code(facts.id);
    // A number is compared as the file writes it: 8.05 is not the 8.04 the
    // controller would round it to.
    for (const NamedValue& v : named) {
      const std::optional<double> inFile = NumberIn(v.value), inController = NumberIn(have);
      if (v.name != facts.name || !inFile || !inController) continue;
      differs = *inFile != *inController;
      want = v.value;
    }
    if (!differs) continue;
    ++differing;
    if (c.options.json) {
      if (json.size() > 1) json += ",";
      json += "{\"name\":" + JsonString(facts.name) + ",\"controller\":" + JsonString(have) +
              ",\"file\":" + JsonString(want) + "}";
    } else {
      c.out << facts.name << ": controller " << have << ", file " << want << "\n";
    }
  }
  if (c.options.json)
    c.out << "{\"equal\":" << (differing == 0 ? "true" : "false") << ",\"differences\":" << json << "]}\n";
  return differing == 0 ? kExitOk : kExitFailure;
}

int CmdParamsHistory(Context& c) {
  int status = 0;
  if (!NoExtraArgs(c, &status)) return status;
  const SnapshotStore store;
  const std::vector<SnapshotEntry> entries = store.List();
  std::string json = "[";
  for (const SnapshotEntry& e : entries) {
    if (c.options.json) {
      if (json.size() > 1) json += ",";
      json += "{\"name\":" + JsonString(e.name) + ",\"time\":" + JsonString(e.notes.time) +
              ",\"before\":" + JsonString(e.notes.write) + ",\"transport\":" + JsonString(e.notes.transport) +
              ",\"future\":" + (e.future ? "true" : "false") + ",\"damage\":" + JsonString(e.damage) + "}";
    } else {
      c.out << e.name << "  " << (e.notes.time.empty() ? "(no time)" : e.notes.time);
      if (e.future) c.out << " (dated in the future)";
      if (!e.notes.write.empty()) c.out << "  before " << e.notes.write;
      if (!e.notes.transport.empty()) c.out << "  (" << e.notes.transport << ")";
      if (!e.damage.empty()) c.out << "  DAMAGED: " << e.damage;
      c.out << "\n";
    }
  }
  if (c.options.json) c.out << json << "]\n";
  if (entries.empty() && !c.options.json) c.err << "apctl: no snapshots in " << store.Folder() << "\n";
  return kExitOk;
}

// A snapshot or file written back, whole or only the named parameters.
int CmdParamsRestore(Context& c) {
  const bool noSnapshot = TakeFlag(c.args, "--no-snapshot");
  std::optional<std::string> only;
  std::string error;
  // --only may be given more than once: the names add up.
  for (std::optional<std::string> more;; more.reset()) {
    if (!TakeStringOption(c.args, "--only", "", &more, &error)) return c.Fail(kExitUsage, error);
    if (!more) break;
    only = only ? *only + "," + *more : *more;
  }
  if (c.args.size() != 1) return c.Fail(kExitUsage, "params restore needs one SNAPSHOT or FILE");
  std::vector<const ParameterFacts*> chosen;
  if (only) {
    std::stringstream names(*only);
    std::string name;
    while (std::getline(names, name, ',')) {
      const ParameterFacts* facts = FindParameter(name);
      if (!facts) return c.Fail(kExitBadValue, UnknownParameterText(name) + " in --only");
      chosen.push_back(facts);
    }
    if (chosen.empty()) return c.Fail(kExitUsage, "--only needs NAME,...");
  }
  Parameters wanted, held;
  std::vector<NamedValue> named;
  int status = 0;
  CliLink link;
  if (!ReadFileThenController(c, c.args.front(), "; nothing was sent", link, &wanted, &held, &named, &status))
    return status;
  // With --only the controller's own sentence carries everything else.
  Parameters target = wanted;
  if (only) {
    target = held;
    for (const ParameterFacts* facts : chosen) target.SetCode(facts->id, wanted.Code(facts->id));
    named.erase(std::remove_if(named.begin(), named.end(),
                               [&](const NamedValue& v) {
                                 return std::none_of(
                                     chosen.begin(), chosen.end(),
                                     [&](const ParameterFacts* f) { return v.name == f->name; });
                               }),
                named.end());
  }
  if (!SnapshotBefore(c, held.sentence, "params restore", noSnapshot, &status)) return status;
  return WriteAndConfirm(c, link, EncodeParameters(target), named);
}

}  // namespace

int CmdParams(Context& c) {
  if (c.args.empty())
    return c.Fail(kExitUsage, "params needs get, set, save, load, diff, history or restore");
  const std::string sub = c.args.front();
  c.args.erase(c.args.begin());
  if (sub == "get") return CmdParamsGet(c);
  if (sub == "set") return CmdParamsSet(c);
  if (sub == "save") return CmdParamsSave(c);
  if (sub == "load") return CmdParamsLoad(c);
  if (sub == "diff") return CmdParamsDiff(c);
  if (sub == "history") return CmdParamsHistory(c);
  if (sub == "restore") return CmdParamsRestore(c);
  return c.Fail(kExitUsage,
                "unknown params command \"" + sub + "\": use get, set, save, load, diff, history or restore");
}

int CmdDefaults(Context& c) {
  const bool yes = TakeFlag(c.args, "--yes");
  const bool noSnapshot = TakeFlag(c.args, "--no-snapshot");
  int status = 0;
  if (!NoExtraArgs(c, &status)) return status;
  if (!yes) {
    if (!c.hooks.inputIsTerminal.value_or(isatty(0) != 0))
      return c.Fail(kExitUsage, "defaults asks for confirmation: run it on a terminal or add --yes");
    c.err << "Restore the controller's default parameters? [y/N] " << std::flush;
    std::string answer;
    std::getline(c.hooks.input ? *c.hooks.input : std::cin, answer);
    if (answer != "y" && answer != "Y" && answer != "yes")
      return c.Fail(kExitFailure, "not confirmed; nothing was sent");
  }
  CliLink link;
  if (!OpenLink(c, link, false, &status)) return status;
  if (!WaitForTelemetry(link)) return c.NoAnswer(link);
  if (!noSnapshot) {
    const std::optional<ParameterView> held = link.ReadParameters();
    if (!held) return c.NoAnswer(link);
    if (!SnapshotBefore(c, held->sentence, "defaults", false, &status)) return status;
  }
  link.Commands().SendRestoreDefaults();
  link.Sleep(300);
  const std::optional<ParameterView> view = link.ReadParameters();
  if (!view) return c.NoAnswer(link, true);
  c.err << "apctl: defaults restored\n";
  if (const std::optional<Parameters> defaults = DecodeParameters(view->sentence.data())) {
    std::string error;
    if (!SnapshotStore().StoreDefaults(*defaults, &error))
      c.err << "apctl: the defaults could not be kept in the history: " << error << "\n";
  }
  return PrintParameters(c, *view);
}

}  // namespace apdesk::cli
