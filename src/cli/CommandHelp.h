#pragma once
// apctl's commands as one table: each command's name, what runs it and what
// is said about it. The same entries make the dispatch, `apctl --help`, the
// manual page's command list and the names the shell completes, so none of
// them can leave a command out. Plain C++: the texts are tested without Qt.

#include <string>
#include <vector>

namespace apdesk::cli {

struct Context;

struct CommandForm {
  const char* usage;   // "params set NAME=VALUE ...": the command and its arguments
  const char* help;    // what --help says, its lines apart by '\n'; "" for nothing
  const char* manual;  // what the manual page says instead, one paragraph; "" for the help's words
};

struct Command {
  const char* name;
  int (*run)(Context&);
  std::vector<CommandForm> forms;
  const char* note = "";  // said after the forms, in --help its lines apart by '\n'
  // `apctl monitor | head` ends monitor as Ctrl+C does: a closed output is
  // no failure of such a command.
  bool readerMayLeave = false;
};

// The "commands:" section of --help: each usage in the first column, its
// help from column 38 (on the next line when the usage is longer).
std::string CommandsHelp(const std::vector<Command>& commands);
// The COMMANDS section of the manual page, in roff.
std::string CommandsManual(const std::vector<Command>& commands);
// The names, one a line, for the shell's completion.
std::string CommandNames(const std::vector<Command>& commands);
// "usage | ..." in roff: literal words bold, placeholders (capitals) italic.
std::string ManualUsage(const std::string& usage);
// Text for roff: '-' and '\' escaped, a leading '.' or '\'' kept from being a request.
std::string RoffText(const std::string& text);

}  // namespace apdesk::cli
