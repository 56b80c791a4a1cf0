#pragma once
// A comparison of the controller's parameters with a file's or a snapshot's,
// row by row, and the write it leads to: only the ticked rows' values, merged
// onto the controller's current sentence, so every byte the tool does not
// interpret is carried over.

#include <string>
#include <vector>

#include "protocol/ParameterTable.h"

namespace apdesk {

struct ComparisonRow {
  ParameterId id;
  std::string held;    // the controller's value as apctl writes it
  std::string wanted;  // the file's
  int heldCode = 0;
  int wantedCode = 0;
  bool differs = false;
  bool ticked = false;  // to be written; the differing rows start ticked
  enum class ReadBack : std::uint8_t { None, Confirmed, Different } readBack = ReadBack::None;
};

class ParameterComparison {
 public:
  ParameterComparison(const Parameters& held, const Parameters& wanted);

  std::vector<ComparisonRow>& Rows() { return m_rows; }
  const std::vector<ComparisonRow>& Rows() const { return m_rows; }
  int Differing() const;

  // The parameters to write: `current` (the controller's latest sentence)
  // with the ticked rows' codes from the file. Remembered for ReadBack.
  Parameters Merge(const Parameters& current);
  // Marks each row written by the last Merge confirmed or different, and
  // takes the read-back as the controller's values.
  void ReadBack(const Parameters& readBack);

 private:
  Parameters m_held, m_wanted, m_written;
  std::vector<ComparisonRow> m_rows;
};

}  // namespace apdesk
