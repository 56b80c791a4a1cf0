#include "ui/PortList.h"

namespace apdesk {

PortList OrderPortList(const std::vector<std::string>& enumerated, const std::string& saved) {
  PortList list;
  int savedIndex = 0;  // nothing matched: the first enumerated
  const int n = int(enumerated.size());
  for (int i = 0; i < n; ++i) {
    list.names.insert(list.names.begin(), enumerated[i]);
    if (enumerated[i] == saved) savedIndex = i;
  }
  list.selected = n - 1 - savedIndex;  // -1 for no ports
  return list;
}

}  // namespace apdesk
