// The serial port list's order and preselection: ports are shown in reverse
// enumeration order, and the remembered "COMPORT" is preselected, or, without
// a match, the first port enumerated (which stands last). Plain C++.
#pragma once

#include <string>
#include <vector>

namespace apdesk {

struct PortList {
  std::vector<std::string> names;  // as listed: reverse enumeration order
  int selected = -1;               // index into names; -1 when there is none
};

// `enumerated` in the order the system lists the ports; `saved` compared
// exactly (case-sensitive).
PortList OrderPortList(const std::vector<std::string>& enumerated, const std::string& saved);

}  // namespace apdesk
