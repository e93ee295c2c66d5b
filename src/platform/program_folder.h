// The folder the running program's file lies in, as the system knows it
// (symbolic links followed), so data can be found beside an installed program.
#pragma once
#include <string>

// Empty when the system cannot tell (a browser, no /proc).
std::string program_folder();
