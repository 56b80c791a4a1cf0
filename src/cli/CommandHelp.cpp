#include "cli/CommandHelp.h"

#include <cctype>

namespace apdesk::cli {

namespace {

constexpr std::size_t kHelpColumn = 38;

// Each line of `text` after `indent` spaces; the first may follow what is
// already on the line.
std::string IndentedLines(const std::string& text, std::size_t indent, bool firstIndented) {
  std::string out;
  std::size_t start = 0;
  for (bool first = true; start <= text.size(); first = false) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (!first || firstIndented) out.append(indent, ' ');
    out += text.substr(start, end - start) + "\n";
    start = end + 1;
  }
  return out;
}

bool Placeholder(const std::string& word) {
  bool capital = false;
  for (const char ch : word) {
    if (std::islower(static_cast<unsigned char>(ch))) return false;
    if (std::isupper(static_cast<unsigned char>(ch))) capital = true;
  }
  return capital;
}

std::string Joined(const std::string& lines) {
  std::string text = lines;
  for (char& ch : text)
    if (ch == '\n') ch = ' ';
  return text;
}

// The help's terse words as a sentence of the manual page.
std::string Sentence(std::string text) {
  if (text.empty()) return text;
  text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  if (text.back() != '.') text += '.';
  return text;
}

}  // namespace

std::string CommandsHelp(const std::vector<Command>& commands) {
  std::string out = "commands:\n";
  for (const Command& command : commands) {
    for (const CommandForm& form : command.forms) {
      const std::string first = "  " + std::string(form.usage);
      const std::string help = form.help;
      if (help.empty()) {
        out += first + "\n";
      } else if (first.size() + 2 <= kHelpColumn) {
        out += first + std::string(kHelpColumn - first.size(), ' ') + IndentedLines(help, kHelpColumn, false);
      } else {
        out += first + "\n" + IndentedLines(help, kHelpColumn, true);
      }
    }
    if (*command.note != '\0') out += IndentedLines(command.note, 2, true);
  }
  return out;
}

std::string RoffText(const std::string& text) {
  std::string out;
  for (const char ch : text) {
    if (ch == '-' || ch == '\\') out += '\\';
    out += ch;
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
  return out;
}

std::string ManualUsage(const std::string& usage) {
  // Words are runs between the punctuation of a usage: space [ ] ( ) |.
  std::string out, word;
  auto flush = [&] {
    if (word.empty()) return;
    out += (Placeholder(word) || word == "..." ? "\\fI" : "\\fB") + RoffText(word) + "\\fR";
    word.clear();
  };
  for (const char ch : usage) {
    if (ch == ' ' || ch == '[' || ch == ']' || ch == '(' || ch == ')' || ch == '|') {
      flush();
      out += ch;
    } else {
      word += ch;
    }
  }
  flush();
  return out;
}

std::string CommandsManual(const std::vector<Command>& commands) {
  std::string out;
  for (const Command& command : commands) {
    for (const CommandForm& form : command.forms) {
      const std::string text = *form.manual != '\0' ? form.manual : Sentence(Joined(form.help));
      out += ".TP\n" + ManualUsage(form.usage) + "\n" + (text.empty() ? "" : RoffText(text) + "\n");
    }
    if (*command.note != '\0') out += ".IP\n" + RoffText(Joined(command.note)) + "\n";
  }
  return out;
}

std::string CommandNames(const std::vector<Command>& commands) {
  std::string out;
  for (const Command& command : commands) out += std::string(command.name) + "\n";
  return out;
}

}  // namespace apdesk::cli
