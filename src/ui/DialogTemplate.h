// A window's layout as a table of controls: ids, kinds, texts, positions in
// dialog units and states. Read from the tab-separated files described in
// resources/templates/README.md. No Qt here: the builder turns it into widgets.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace apdesk {

enum class ControlKind {
  GroupBox,
  Label,
  Edit,
  DigitsEdit,
  ReadOnlyEdit,
  MultiLineEdit,
  Button,
  MultiLineButton,
  DropList,
  SimpleCombo,
  Picture,
  Static,
  Progress,
};

// Flags as bits, so a typo in a template is an error instead of a silent no-op.
enum ControlFlag : unsigned {
  kFlagHidden = 1u << 0,
  kFlagDisabled = 1u << 1,
  kFlagSunken = 1u << 2,
  kFlagStaticEdge = 1u << 3,
  kFlagVScroll = 1u << 4,
  kFlagCenterImage = 1u << 5,
  kFlagCentred = 1u << 6,
  kFlagDefault = 1u << 7,
  kFlagSysMenu = 1u << 8,
};

struct ControlSpec {
  int id = -1;
  ControlKind kind = ControlKind::Static;
  int x = 0, y = 0, w = 0, h = 0;  // dialog units
  std::string text;                // UTF-8
  unsigned flags = 0;
  std::vector<std::string> items;  // initial list contents, in order

  bool Has(unsigned flag) const { return (flags & flag) != 0; }
};

struct DialogTemplate {
  int id = 0;
  int width = 0, height = 0;  // client area, dialog units
  std::string fontFamily;
  int fontSize = 0;  // points
  std::string caption;
  unsigned flags = 0;
  std::vector<ControlSpec> controls;  // creation order

  bool Has(unsigned flag) const { return (flags & flag) != 0; }
  // The control with this id, or null (also for -1, which several may share).
  const ControlSpec* Find(int controlId) const;
};

// Parses one template file's text. On failure returns false and says which line
// and why; *out is then unspecified.
bool ParseDialogTemplate(std::string_view text, DialogTemplate* out, std::string* error);

// The kind named in a template ("droplist"), or false when there is none.
bool ControlKindFromName(std::string_view name, ControlKind* kind);

}  // namespace apdesk
