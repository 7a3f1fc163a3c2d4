// The communication log's entry point for raw bytes. The driver passes every sent telegram
// (direction 0) and every received chunk (direction 1) to TraceBytes; the log window installs its
// recorder with SetTraceBytesHook while it exists and removes it (empty function) when it closes.
// While no hook is set TraceBytes does nothing. Both run on the GUI thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace nord5 {

inline constexpr int kTraceSent = 0;
inline constexpr int kTraceReceived = 1;

using TraceBytesHook =
    std::function<void(int direction, const std::uint8_t* data, std::size_t count)>;

// Installs the recorder (an empty function removes it).
void SetTraceBytesHook(TraceBytesHook hook);
// Records `count` bytes in the communication log; inert while no hook is installed. A hook that
// throws std::exception is ignored (logging never disturbs the exchange).
void TraceBytes(int direction, const std::uint8_t* data, std::size_t count);

}  // namespace nord5
