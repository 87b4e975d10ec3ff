// The product's installer: the engine with the machine's real directories,
// the source directory kept for the script, and copy failures on files that
// Windows holds open (layouts, code pages, TrueType fonts) tolerated.
#pragma once

#include "install_engine.h"

class ProductScript;

class ProductInstaller : public InstallEngine {
  public:
    // The script is attached when the run starts. Also makes the
    // destination prompt propose the previously stored directory.
    explicit ProductInstaller(HINSTANCE instance);
    ~ProductInstaller();

    ResultCode AfterCopy() override;
    ResultCode FileError(ResultCode code, FileEntry* file) override;
    ResultCode PathAdded(PathEntry* path) override;
    // The opening of a run: language, platform check, the running copies,
    // the welcome, destination and options dialogs, the script, the keyboard.
    ResultCode Initialize() override;
    // The close of a run: system settings, fonts, program groups, starting
    // the installed program and the restart question.
    ResultCode Finish(ResultCode runResult) override;

  private:
    ResultCode FinishInstallation();

    ProductScript* productScript_ = nullptr;
};

// Whether a copy failure on this target is skipped without a word.
bool IsToleratedTarget(const char* targetName);
