#include "fuzz_input.h"

#include <cstdio>
#include <cstdlib>

void fuzzFailure(const char* what)
{
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}
