#pragma once
// The test program's application object, under the name these tests use.

#include "common/TestApp.h"

namespace apdesk::test {

using testsupport::TestApp;

}  // namespace apdesk::test
