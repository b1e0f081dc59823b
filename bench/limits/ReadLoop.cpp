// The floor under the many-small-files case: opens, reads whole and closes
// each file named on the command line, and nothing else. Prints the number
// of bytes read, so that no read can be left out.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  std::vector<char> buffer(1 << 20);
  unsigned long long total = 0;
  for (int i = 1; i < argc; ++i) {
    const int fd = open(argv[i], O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 1;
    // A read that fills less than the buffer found the end: no further call.
    for (ssize_t n = 0; (n = read(fd, buffer.data(), buffer.size())) > 0;) {
      total += static_cast<unsigned long long>(n);
      if (static_cast<std::size_t>(n) < buffer.size()) break;
    }
    close(fd);
  }
  std::printf("%llu\n", total);
  return 0;
}
