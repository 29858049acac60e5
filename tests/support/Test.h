#pragma once

// What every test file uses: its classes registered with the shared main, tables in one line per row, the
// sandbox, file helpers, and the names of the code under test without their namespaces.
#include "support/Files.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

using namespace nw;
using namespace nw::test;
using namespace Qt::StringLiterals;
