// The calculation core: units, the gear-train searches and the text of a
// result line. It knows nothing of any window toolkit, so the window, the
// command line and the tests all share the very same arithmetic.
#pragma once

#include "core/parsing.h"
#include "core/result_text.h"
#include "core/three_pair_search.h"
#include "core/two_pair_search.h"
#include "core/units.h"
