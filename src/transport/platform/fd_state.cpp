#include "transport/platform/fd_state.h"

#include <poll.h>

namespace nord5 {

bool FdHungUp(int fd) {
  if (fd < 0) return false;
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, 0) <= 0) return false;
  return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace nord5
