#include "vst2/host_text.h"

#include <cstring>

void copyToHost(HostText kind, const char* text, char* hostBuffer) {
  const std::size_t limit = hostTextLimit(kind) - 1;
  const void* terminator = std::memchr(text, '\0', limit);
  const std::size_t length =
      terminator != nullptr ? static_cast<std::size_t>(static_cast<const char*>(terminator) - text)
                            : limit;
  std::memcpy(hostBuffer, text, length);
  hostBuffer[length] = '\0';
}
