// The commands without a controller: record info and export, doctor and map.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>

#include "cli/CommandContext.h"
#include "cli/Doctor.h"
#include "cli/ExitStatus.h"
#include "cli/MapCommand.h"
#include "cli/UdevRule.h"
#include "files/WholeFile.h"
#include "recorder/RecordFile.h"

namespace apdesk::cli {

namespace {

// The record files an argument names: the file itself, or the ".hj" files of
// a directory in name order. False, with the reason, when there are none.
bool RecordFilesOf(const std::string& arg, std::vector<std::string>* files, std::string* error) {
  struct stat st {};
  if (stat(arg.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    files->push_back(arg);  // the reader says what is wrong with it
    return true;
  }
  std::error_code ec;
  std::vector<std::string> found;
  for (std::filesystem::directory_iterator it(arg, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->path().extension() == ".hj" && it->is_regular_file(typeError))
      found.push_back((std::filesystem::path(arg) / it->path().filename()).string());
  }
  if (ec) {
    *error = arg + ": " + ec.message();
    return false;
  }
  if (found.empty()) {
    *error = arg + ": no record files (*.hj) in this directory";
    return false;
  }
  std::sort(found.begin(), found.end());
  files->insert(files->end(), found.begin(), found.end());
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

std::string ExportSummary(const ExportCounts& counts) {
  std::string text =
      std::to_string(counts.exported) + " of " + std::to_string(counts.records) + " records exported";
  if (counts.skipped > 0) text += ", " + std::to_string(counts.skipped) + " damaged records skipped";
  if (counts.trailingBytes > 0)
    text += ", " + std::to_string(counts.trailingBytes) + " trailing bytes ignored";
  return text;
}

// Streams the export of `input` to `path` as apctl writes every result: a
// regular file is replaced whole (a failed export leaves the earlier one), a
// symbolic link keeps pointing where it did, a device or pipe is written
// through.
bool ExportToFile(const std::string& input, ExportFormat format, const std::string& sourceName,
                  const std::string& path, ExportCounts* counts, std::string* error) {
  return WriteFileStreamed(
      path,
      [&](std::ostream& out, std::string* why) {
        return ExportRecordFile(input, format, sourceName, out, counts, why);
      },
      error);
}

std::string BaseName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int CmdRecordExport(Context& c) {
  std::string error;
  std::optional<std::string> format, output, outDir;
  if (!TakeStringOption(c.args, "--format", "", &format, &error) ||
      !TakeStringOption(c.args, "-o", "", &output, &error) ||
      !TakeStringOption(c.args, "--out-dir", "", &outDir, &error))
    return c.Fail(kExitUsage, error);
  if (c.args.empty()) return c.Fail(kExitUsage, "record export needs a FILE or DIR");
  if (!format) return c.Fail(kExitUsage, "record export needs --format csv, jsonl, gpx or kml");
  const std::optional<ExportFormat> f = ParseExportFormat(*format);
  if (!f) return c.Fail(kExitUsage, "unknown format \"" + *format + "\": use csv, jsonl, gpx or kml");
  if (output && outDir) return c.Fail(kExitUsage, "use either -o or --out-dir");
  std::vector<std::string> files;
  int status = kExitOk;
  for (const std::string& arg : c.args) {
    if (!RecordFilesOf(arg, &files, &error)) status = c.Fail(kExitFileError, error);
  }
  if (!outDir) {
    if (files.size() != 1 || status != kExitOk)
      return c.Fail(kExitUsage, "several record files (or a directory) need --out-dir OUT");
    const std::string& input = files.front();
    if (output && SameFile(input, *output))
      return c.Fail(kExitUsage, "-o " + *output + " is the flight record itself; it is left as it is");
    if (!HoldsFlightRecord(input, &error)) return c.Fail(kExitFileError, error);
    ExportCounts counts;
    const bool ok = output ? ExportToFile(input, *f, BaseName(input), *output, &counts, &error)
                           : ExportRecordFile(input, *f, BaseName(input), c.out, &counts, &error);
    if (!ok) return c.Fail(kExitFileError, error);
    if (!output && !OutputWritten(c.out))
      return c.Fail(kExitFileError, "cannot write the export to the output: " + FileErrorReason(errno));
    c.err << "apctl: " << ExportSummary(counts) << (output ? " to " + *output : std::string()) << "\n";
    return kExitOk;
  }
  std::error_code ec;
  std::filesystem::create_directories(*outDir, ec);
  if (ec) return c.Fail(kExitFileError, *outDir + ": " + ec.message());
  // One export per record file, named after it; each row names the file it
  // came from (as given), so the exports together are one data set.
  std::vector<std::string> written, exported;
  for (const std::string& input : files) {
    // The same file named twice (or by two paths) is exported once.
    if (std::any_of(exported.begin(), exported.end(),
                    [&](const std::string& earlier) { return SameFile(earlier, input); })) {
      c.err << "apctl: " << input << ": given more than once; exported once\n";
      continue;
    }
    std::string name = BaseName(input);
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".hj") == 0) name.resize(name.size() - 3);
    const std::string out = (std::filesystem::path(*outDir) / (name + "." + ExportFormatName(*f))).string();
    if (std::find(written.begin(), written.end(), out) != written.end()) {
      status = c.Fail(kExitFileError, input + ": not exported, " + out +
                                          " already holds the export of another file of that name");
      continue;
    }
    if (SameFile(input, out)) {
      status = c.Fail(kExitFileError, input + ": not exported, " + out + " is the flight record itself");
      continue;
    }
    if (!HoldsFlightRecord(input, &error)) {
      status = c.Fail(kExitFileError, error);
      continue;
    }
    ExportCounts counts;
    const std::string source = *f == ExportFormat::Csv || *f == ExportFormat::Jsonl ? input : BaseName(input);
    if (!ExportToFile(input, *f, source, out, &counts, &error)) {
      status = c.Fail(kExitFileError, error);
      continue;
    }
    written.push_back(out);
    exported.push_back(input);
    c.err << "apctl: " << input << ": " << ExportSummary(counts) << " to " << out << "\n";
  }
  if (status != kExitOk)
    c.err << "apctl: " << written.size() << " of " << files.size() << " record files exported\n";
  return status;
}

}  // namespace

int CmdRecord(Context& c) {
  if (c.args.empty()) return c.Fail(kExitUsage, "record needs info or export");
  const std::string sub = c.args.front();
  c.args.erase(c.args.begin());
  std::string error;
  if (sub == "info") {
    if (c.args.size() != 1) return c.Fail(kExitUsage, "record info needs one FILE");
    RecordInfo info;
    if (!SummariseRecordFile(c.args.front(), &info, &error)) return c.Fail(kExitFileError, error);
    c.out << (c.options.json ? RecordInfoJson(info, c.args.front()) + "\n"
                             : FormatRecordInfo(info, c.args.front()));
    return kExitOk;
  }
  if (sub == "export") return CmdRecordExport(c);
  return c.Fail(kExitUsage, "unknown record command \"" + sub + "\": use info or export");
}

int CmdDoctor(Context& c) {
  if (TakeFlag(c.args, "--udev-rule")) {
    c.out << kUdevRule;
    return kExitOk;
  }
  int status = 0;
  if (!NoExtraArgs(c, &status)) return status;
  const std::string port = c.options.connect.kind == ConnectSpec::Kind::Serial ? c.options.connect.path : "";
  const DoctorFacts facts = GatherDoctorFacts("", port, WindowsSettingsPath());
  const std::string installRule =
      std::string("apctl doctor --udev-rule | sudo tee ") + kUdevRuleInstalled +
      " >/dev/null && sudo udevadm control --reload-rules && sudo udevadm trigger";
  const std::vector<Finding> findings = Diagnose(facts, installRule);
  c.out << (c.options.json ? FindingsJson(facts, findings) + "\n" : FormatFindings(facts, findings));
  return AnyBlocks(findings) ? kExitFailure : kExitOk;
}

int CmdMap(Context& c) {
  return RunMapCommand(c.args, c.options.json, WindowsSettingsPath(), c.out, c.err);
}

}  // namespace apdesk::cli
