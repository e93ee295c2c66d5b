// The show's entry point; the command line is not read.
#include "shell/shell.h"

int main() { return demo_main(); }
