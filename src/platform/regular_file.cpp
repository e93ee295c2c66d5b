// Input files opened non-blocking, so that opening a FIFO returns at once,
// then held to regular files.
#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int open_regular_file(const char* path, uint64_t* size) {
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return -1;
  }
  *size = uint64_t(info.st_size);
  return fd;
}
