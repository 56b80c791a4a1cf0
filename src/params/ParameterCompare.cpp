#include "params/ParameterCompare.h"

namespace apdesk {

ParameterComparison::ParameterComparison(const Parameters& held, const Parameters& wanted)
    : m_held(held), m_wanted(wanted) {
  for (const ParameterFacts& facts : ParameterTable()) {
    ComparisonRow row{facts.id, FormatParameterValue(facts, held.Code(facts.id)),
                      FormatParameterValue(facts, wanted.Code(facts.id))};
    row.heldCode = held.Code(facts.id);
    row.wantedCode = wanted.Code(facts.id);
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
    const ParameterFacts& facts = FactsOf(r.id);
    if (r.ticked) {
      r.readBack = readBack.Code(r.id) == m_written.Code(r.id) ? ComparisonRow::ReadBack::Confirmed
                                                               : ComparisonRow::ReadBack::Different;
    }
    r.held = FormatParameterValue(facts, readBack.Code(r.id));
    r.heldCode = readBack.Code(r.id);
    r.differs = readBack.Code(r.id) != m_wanted.Code(r.id);
  }
}

}  // namespace apdesk
