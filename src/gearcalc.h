// The calculation core: units, the gear-train searches and the text of a
// result line. It knows nothing of any window toolkit, so the window, the
// command line and the tests all share the very same arithmetic.
#pragma once

#include "parsing.h"
#include "result_text.h"
#include "three_pair_search.h"
#include "two_pair_search.h"
#include "units.h"
