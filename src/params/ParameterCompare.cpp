#include "params/ParameterCompare.h"

namespace apdesk {

ParameterComparison::ParameterComparison(const Parameters& held, const Parameters& wanted)
    : m_held(held), m_wanted(wanted) {
  for (const ParameterSpec& spec : ParameterTable()) {
    ComparisonRow row{spec.id, FormatParameterValue(spec, held.Code(spec.id)),
                      FormatParameterValue(spec, wanted.Code(spec.id))};
    row.heldCode = held.Code(spec.id);
    row.wantedCode = wanted.Code(spec.id);
    row.differs = row.heldCode != row.wantedCode;
    row.ticked = row.differs;
    m_rows.push_back(row);
  }
}

int ParameterComparison::Differing() const {
  int n = 0;
  for (const ComparisonRow& r : m_rows) n += r.differs ? 1 : 0;
  return n;
}

Parameters ParameterComparison::Merge(const Parameters& current) {
  m_written = current;
  for (ComparisonRow& r : m_rows) {
    r.readBack = ComparisonRow::ReadBack::None;
    if (r.ticked) m_written.SetCode(r.id, m_wanted.Code(r.id));
  }
  return m_written;
}

void ParameterComparison::ReadBack(const Parameters& readBack) {
  m_held = readBack;
  for (ComparisonRow& r : m_rows) {
    const ParameterSpec& spec = SpecOf(r.id);
    if (r.ticked) {
      r.readBack = readBack.Code(r.id) == m_written.Code(r.id) ? ComparisonRow::ReadBack::Confirmed
                                                               : ComparisonRow::ReadBack::Different;
    }
    r.held = FormatParameterValue(spec, readBack.Code(r.id));
    r.heldCode = readBack.Code(r.id);
    r.differs = readBack.Code(r.id) != m_wanted.Code(r.id);
  }
}

}  // namespace apdesk
