// Running the Debian tools our build tools lean on (sox, dat): started
// without a shell, waited for, and judged by their exit status.
#pragma once

#include <string>
#include <vector>

namespace textsource {

// Runs `program` (looked up on the PATH) with `args` and waits for it; true
// when it exits with 0. With quiet, its standard output goes to /dev/null.
bool run_program(const char* program, const std::vector<std::string>& args, bool quiet = false);

}  // namespace textsource
