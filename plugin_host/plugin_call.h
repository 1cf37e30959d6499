// Which call into the plugin is running on each thread, kept where a signal
// handler can read it, so that a host whose plugin crashes can say in which
// call it did.
#pragma once

#include <cstdint>

// Marks a call into the plugin for as long as it lives. Scopes nest: the
// innermost one is the call in progress.
class PluginCallScope {
 public:
  // `function` must be a string with static storage, such as a literal;
  // `opcode` is the dispatcher's opcode, or -1 for other functions.
  explicit PluginCallScope(const char* function, std::int32_t opcode = -1);
  ~PluginCallScope();

  PluginCallScope(const PluginCallScope&) = delete;
  PluginCallScope& operator=(const PluginCallScope&) = delete;

 private:
  const char* outerFunction_;
  std::int32_t outerOpcode_;
};

// Async-signal-safe: the function of the call in progress on this thread
// (null between calls) and its dispatcher opcode (-1 when it has none).
const char* pluginFunctionInProgress();
std::int32_t pluginOpcodeInProgress();

// The published name of a dispatcher opcode, such as "effMainsChanged";
// null for numbers beyond the table.
const char* dispatcherOpcodeName(std::int32_t opcode);
