#pragma once
// The controller's parameters by name, as apctl reads and writes them, and
// the parameter file: both are the parameter library's (params/ParameterFile.h)
// over the one parameter table; apctl uses them under its own namespace.

#include "params/ParameterFile.h"

namespace apdesk::cli {

using apdesk::ApplyNamedValues;
using apdesk::BlockFromParameterFile;
using apdesk::BlockWithEdits;
using apdesk::CompareReadBack;
using apdesk::FormatNamedJson;
using apdesk::FormatNamedText;
using apdesk::FormatParameterFile;
using apdesk::NamedParameters;
using apdesk::NamedValue;
using apdesk::ParameterFile;
using apdesk::ParseAssignment;
using apdesk::ParseParameterFile;

}  // namespace apdesk::cli
