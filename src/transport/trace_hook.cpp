#include "transport/trace_hook.h"

#include <exception>
#include <utility>

namespace nord5 {
namespace {
TraceBytesHook& Hook() {
  static TraceBytesHook hook;
  return hook;
}
}  // namespace

void SetTraceBytesHook(TraceBytesHook hook) { Hook() = std::move(hook); }

void TraceBytes(int direction, const std::uint8_t* data, std::size_t count) {
  if (!Hook()) return;
  const TraceBytesHook hook = Hook();  // the recorder may remove itself while running
  try {
    hook(direction, data, count);
  } catch (const std::exception&) {
    // Logging never disturbs the exchange.
  }
}

}  // namespace nord5
