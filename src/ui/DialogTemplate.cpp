#include "ui/DialogTemplate.h"

#include <charconv>
#include <utility>

namespace apdesk {
namespace {

struct Named {
  std::string_view name;
  unsigned value;
};

constexpr Named kKinds[] = {
    {"groupbox", unsigned(ControlKind::GroupBox)},
    {"label", unsigned(ControlKind::Label)},
    {"edit", unsigned(ControlKind::Edit)},
    {"digits-edit", unsigned(ControlKind::DigitsEdit)},
    {"readonly-edit", unsigned(ControlKind::ReadOnlyEdit)},
    {"multiline-edit", unsigned(ControlKind::MultiLineEdit)},
    {"button", unsigned(ControlKind::Button)},
    {"multiline-button", unsigned(ControlKind::MultiLineButton)},
    {"droplist", unsigned(ControlKind::DropList)},
    {"simplecombo", unsigned(ControlKind::SimpleCombo)},
    {"picture", unsigned(ControlKind::Picture)},
    {"static", unsigned(ControlKind::Static)},
    {"progress", unsigned(ControlKind::Progress)},
};

constexpr Named kControlFlags[] = {
    {"hidden", kFlagHidden},         {"disabled", kFlagDisabled}, {"sunken", kFlagSunken},
    {"staticedge", kFlagStaticEdge}, {"vscroll", kFlagVScroll},   {"centerimage", kFlagCenterImage},
    {"centred", kFlagCentred},       {"default", kFlagDefault},
};

constexpr Named kDialogFlags[] = {
    {"hidden", kFlagHidden}, {"centred", kFlagCentred}, {"sysmenu", kFlagSysMenu}};

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

std::string Unescape(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    char c = field[i];
    if (c == '\\' && i + 1 < field.size()) {
      char n = field[i + 1];
      if (n == 'n' || n == 't' || n == '\\') {
        out.push_back(n == 'n' ? '\n' : n == 't' ? '\t' : '\\');
        ++i;
        continue;
      }
    }
    out.push_back(c);
  }
  return out;
}

bool ParseInt(std::string_view field, int* value) {
  if (field.empty()) return false;
  const char* end = field.data() + field.size();
  auto [ptr, ec] = std::from_chars(field.data(), end, *value);
  return ec == std::errc() && ptr == end;
}

template <size_t N>
bool ParseFlags(std::string_view field, const Named (&table)[N], unsigned* flags, std::string* bad) {
  *flags = 0;
  size_t start = 0;
  while (start <= field.size() && !field.empty()) {
    size_t comma = field.find(',', start);
    std::string_view word =
        field.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    bool found = false;
    for (const Named& n : table) {
      if (n.name == word) {
        *flags |= n.value;
        found = true;
      }
    }
    if (!found) {
      *bad = std::string(word);
      return false;
    }
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return true;
}

std::string_view Field(const std::vector<std::string_view>& f, size_t i) {
  return i < f.size() ? f[i] : std::string_view();
}

}  // namespace

bool ControlKindFromName(std::string_view name, ControlKind* kind) {
  for (const Named& n : kKinds) {
    if (n.name == name) {
      *kind = ControlKind(n.value);
      return true;
    }
  }
  return false;
}

const ControlSpec* DialogTemplate::Find(int controlId) const {
  if (controlId == -1) return nullptr;
  for (const ControlSpec& c : controls) {
    if (c.id == controlId) return &c;
  }
  return nullptr;
}

bool ParseDialogTemplate(std::string_view text, DialogTemplate* out, std::string* error) {
  *out = DialogTemplate();
  bool haveDialog = false;
  int lineNo = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = "line " + std::to_string(lineNo) + ": " + why;
    return false;
  };

  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    std::string_view line =
        text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? text.size() : nl + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;

    std::vector<std::string_view> f = SplitTabs(line);
    std::string bad;
    if (f[0] == "DIALOG") {
      if (haveDialog) return fail("a second DIALOG record");
      if (f.size() < 7) return fail("DIALOG needs id, width, height, font, size and caption");
      if (!ParseInt(f[1], &out->id) || !ParseInt(f[2], &out->width) || !ParseInt(f[3], &out->height) ||
          !ParseInt(f[5], &out->fontSize))
        return fail("DIALOG: a number field is not a number");
      if (out->width <= 0 || out->height <= 0 || out->fontSize <= 0)
        return fail("DIALOG: size and font size must be positive");
      out->fontFamily = std::string(f[4]);
      out->caption = Unescape(f[6]);
      if (!ParseFlags(Field(f, 7), kDialogFlags, &out->flags, &bad))
        return fail("unknown dialog flag \"" + bad + "\"");
      haveDialog = true;
    } else if (f[0] == "CONTROL") {
      if (!haveDialog) return fail("CONTROL before DIALOG");
      if (f.size() < 7) return fail("CONTROL needs id, kind, x, y, w and h");
      ControlSpec c;
      if (!ParseInt(f[1], &c.id)) return fail("CONTROL: id is not a number");
      if (c.id < -1) return fail("CONTROL: id below -1");
      if (!ControlKindFromName(f[2], &c.kind))
        return fail("unknown control kind \"" + std::string(f[2]) + "\"");
      if (!ParseInt(f[3], &c.x) || !ParseInt(f[4], &c.y) || !ParseInt(f[5], &c.w) || !ParseInt(f[6], &c.h))
        return fail("CONTROL: a position field is not a number");
      if (c.w < 0 || c.h < 0) return fail("CONTROL: negative size");
      c.text = Unescape(Field(f, 7));
      if (!ParseFlags(Field(f, 8), kControlFlags, &c.flags, &bad))
        return fail("unknown control flag \"" + bad + "\"");
      if (out->Find(c.id)) return fail("control id " + std::to_string(c.id) + " defined twice");
      out->controls.push_back(std::move(c));
    } else if (f[0] == "ITEM") {
      if (f.size() < 2) return fail("ITEM needs a control id");
      int id = 0;
      if (!ParseInt(f[1], &id)) return fail("ITEM: control id is not a number");
      ControlSpec* target = nullptr;
      for (ControlSpec& c : out->controls) {
        if (c.id == id && id != -1) target = &c;
      }
      if (!target) return fail("ITEM for control " + std::to_string(id) + ", which is not defined above");
      if (target->kind != ControlKind::DropList && target->kind != ControlKind::SimpleCombo)
        return fail("ITEM for control " + std::to_string(id) + ", which is not a list");
      target->items.push_back(Unescape(Field(f, 2)));
    } else {
      return fail("unknown record \"" + std::string(f[0]) + "\"");
    }
  }
  if (!haveDialog) {
    lineNo = 0;
    return fail("no DIALOG record");
  }
  return true;
}

}  // namespace apdesk
