// CTovraQuobe: the effect's handle on its shell. The entry point stores it once
// the shell exists, so it is null while onCreate runs.
#pragma once

#include "runtime/tovra_memory.h"
#include "seam/effect_callbacks.h"

class CTovraQuobe : public CTovraMemory {
 public:
  ShellHandle shell() const { return shell_; }
  void setShell(ShellHandle shell) { shell_ = shell; }

 private:
  ShellHandle shell_ = nullptr;
};
