// Opening an input file without ever blocking: only a regular file is read,
// so a pipe, device, socket or folder in its place is refused at once.
#pragma once
#include <cstdint>

// The file open for reading, its size in *size; -1 when it is missing,
// unreadable or not a regular file.
int open_regular_file(const char* path, uint64_t* size);
