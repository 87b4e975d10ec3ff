#include "plan.h"

#include "fonts.h"
#include "keyboard.h"
#include "product_installer.h"
#include "product_script.h"
#include "product_state.h"
#include "resource_ids.h"
#include "run_log.h"
#include "shown_text.h"
#include "sys_db.h"
#include "text.h"

#include <sstream>
#include <string>

namespace {

// The state the dialogs and the initialisation would leave: the options as
// given, the proposed destination, a free font extension, the shared folder.
void PrepareState(const PlanOptions& options) {
    for (int i = 0; i < 7; ++i)
        SetupOptions.*kOptionBoxes[i].flag = options.flags[i] ? 1 : 0;
    DefaultProgramDir(DestinationDir, 1);
    SourceDir[0] = 0;
    AutoNumber = 1;
    FontExtension[0] = 0;
    if (SetupOptions.SystemFonts)
        ChooseFontExtension();
    ReadSharedDir();
}

// Each change the steps would make, one line; on a read-only machine they
// fail, so their outcome says nothing and is left out.
class PlanLog : public RunLog {
  public:
    explicit PlanLog(std::ostream& out) : out_(out) {}
    void Line(const char*) override {}
    void Change(const char* what, ChangeOutcome) override { out_ << what << "\n"; }

  private:
    std::ostream& out_;
};

// Runs the real sequence, but reports each file instead of touching it.
class PlanEngine : public ProductInstaller {
  public:
    PlanEngine(ScriptText* script, std::ostream& out) : ProductInstaller(nullptr), out_(out) {
        SetScript(script);
    }

    // The options come from the command line, not from the dialogs.
    ResultCode Initialize() override { return Ok; }
    ResultCode BeforeCopy() override { return Ok; }
    ResultCode FileDone(FileEntry*, unsigned) override { return Ok; }
    // A disk is where the run finds it: the first where setup runs from,
    // the next beside it; else the user is asked, the drive proposed.
    ResultCode LocateDisk(PathEntry* disk, PathEntry* previous, bool first) override {
        if (!first && previous)
            ApplySiblingRule(disk, previous);
        std::string name = disk->Name();
        disks_ += "disk " + name.substr(name.rfind(' ') + 1) + " = " + disk->Directory() + "\n";
        return Ok;
    }
    const std::string& Disks() const { return disks_; }
    ResultCode BeforeFile(FileEntry* f) override {
        out_ << "copy " << f->Source()->Directory() << f->SourceName() << " -> "
             << f->Target()->Directory() << f->TargetName() << "\n";
        return Skip;
    }
    ResultCode BeforeDelete(FileEntry* f) override {
        out_ << "delete " << f->Source()->Directory() << f->SourceName() << "\n";
        return Skip;
    }

  private:
    std::ostream& out_;
    std::string disks_;
};

// The lines of the plan to `out`, and in `legend` the directories they
// name: the destination and each disk used.
int Plan(const PlanOptions& options, std::ostream& out, std::string* legend) {
    PrepareState(options);
    ProductScript script("FD", MAKEINTRESOURCEA(IDR_SCRIPT));
    if (script.Status() != 0) {
        out << "error: the installation script resource cannot be loaded\n";
        return ScriptError;
    }
    PlanEngine engine(&script, out);
    // In the order of a run: the earlier keyboard setup goes before the copy,
    // the system settings and the fonts come after it.
    if (EarlierKeyboardSetupPresent())
        RemoveEarlierKeyboardSetup();
    ResultCode r = engine.Run();
    char destination[MAX_PATH];
    CopyText(destination, sizeof destination, DestinationDir);
    AppendBackslash(destination, sizeof destination);
    *legend = std::string("destination = ") + destination + "\n" + engine.Disks();
    if (r != Ok) {
        out << "error: the script could not be read through (" << r << ")\n";
        return int(r);
    }
    WriteSysDBSection(script, "WriteSysDB");
    DeleteSysDBSection(script, "DeleteSysDB");
    if (SetupOptions.SystemFonts)
        ReplaceSystemFonts();
    return Ok;
}

} // namespace

int PrintPlan(const PlanOptions& options, std::ostream& out) {
    std::ostringstream lines;
    std::string legend;
    PlanLog log(lines);
    RunLog* before = CurrentRunLog();
    SetRunLog(&log);
    int result = Plan(options, lines, &legend);
    SetRunLog(before);
    out << Visible(legend + lines.str(), true); // names read from the machine
    return result;
}
