// The running program's own folder, from /proc/self/exe.
#include "platform/program_folder.h"

#include <unistd.h>

std::string program_folder() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || size_t(length) >= sizeof path) return "";
  const std::string file(path, size_t(length));
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? "" : file.substr(0, slash == 0 ? 1 : slash);
}
