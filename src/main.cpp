// The show's entry point: the command line chooses how the show is run.
#include "shell/shell.h"

int main(int argc, char** argv) { return demo_main(argc, argv); }
