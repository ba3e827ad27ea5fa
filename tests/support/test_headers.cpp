// The target that holds the precompiled test headers needs one source file of its own.
#include "tests/support/test_headers.h"
