// The version both programs print: the project's version, written once in
// CMakeLists.txt, and the commit the build was made from.
#include "shell/shell.h"
#include "version.h"

const char* const show_version = DEMO_VERSION " (commit " DEMO_COMMIT ")";
