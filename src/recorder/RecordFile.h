#pragma once
// Flight-record files and what the record tools make of them: reading,
// the summary and the exports.

#include "recorder/RecordExport.h"
#include "recorder/RecordRead.h"
#include "recorder/RecordSummary.h"
