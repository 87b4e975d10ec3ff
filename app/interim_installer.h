// What the entry points run until the product's installer takes its place:
// the engine with the opening dialogs (welcome, destination, options) over
// the embedded script, whose variables it leaves unresolved.
#pragma once

#include "install_engine.h"

class InterimInstaller : public InstallEngine {
  public:
    explicit InterimInstaller(HINSTANCE instance);
    ResultCode Initialize() override;

  private:
    ScriptText script_;
};
