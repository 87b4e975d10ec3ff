#include "plan.h"

#include "install_engine.h"
#include "text.h"

#include <cstdio>
#include <cstring>
#include <string>

const char* const kPlanFlagNames[7] = {"KeyboardBds", "KeyboardPhonetic", "LanguageDriver",
                                       "DosFilter",   "SystemFonts",      "DunorU",
                                       "ArvelU"};

namespace {

const char* const kConditions[7] = {"IF_KBDBDS", "IF_KBDPH",  "IF_LANGDRV", "IF_DOSFIL",
                                    "IF_FONTS",  "IF_DUNORU", "IF_ARVELU"};

std::string WindowsDir() {
    char dir[MAX_PATH];
    UINT n = GetWindowsDirectoryA(dir, sizeof dir);
    std::string s = (n && n < sizeof dir) ? dir : "C:\\WINDOWS";
    return s.back() == '\\' ? s : s + "\\";
}

// Answers the script's variables straight from the option flags.
class PlanScript : public ScriptText {
  public:
    PlanScript(const PlanOptions& options, std::string destination)
        : ScriptText("FD", MAKEINTRESOURCEA(1)), options_(options),
          destination_(std::move(destination)) {}

    ResultCode ResolveVariable(const char* name, char* dest, unsigned* room) override {
        std::string value;
        for (int i = 0; i < 7; ++i) {
            if (CompareNoCase(name, kConditions[i]) == 0)
                return Answer(options_.flags[i] ? Ok : NotApplicable, "", dest, room);
        }
        if (CompareNoCase(name, "BV_DIR") == 0 || CompareNoCase(name, "BV_Path") == 0)
            return Answer(Ok, destination_, dest, room);
        if (CompareNoCase(name, "FEXT") == 0)
            return Answer(Ok, options_.flags[4] ? "001" : "", dest, room);
        if (CompareNoCase(name, "AUTO_NUMBER") == 0)
            return Answer(Ok, std::to_string(autoNumber_++), dest, room);
        if (CompareNoCase(name, "BV_SCUT") == 0)
            return Answer(Ok, "2", dest, room);
        if (CompareNoCase(name, "BV_SRC_DIR") == 0)
            return Answer(Ok, "", dest, room);
        if (CompareNoCase(name, "IF_REG") == 0 || CompareNoCase(name, "IF_N_DUNOR") == 0 ||
            CompareNoCase(name, "IF_N_ARVEL") == 0)
            return Answer(Ok, "", dest, room);
        return Answer(NotApplicable, "", dest, room); // DEL_OLD: no shared directory known
    }

  private:
    static ResultCode Answer(ResultCode code, const std::string& text, char* dest, unsigned* room) {
        unsigned n = text.size() < *room ? unsigned(text.size()) : *room;
        std::memcpy(dest, text.data(), n);
        *room = n;
        return code;
    }

    PlanOptions options_;
    std::string destination_;
    int autoNumber_ = 1;
};

// Runs the real sequence, but reports each file instead of touching it.
class PlanEngine : public InstallEngine {
  public:
    PlanEngine(ScriptText* script, std::ostream& out) : InstallEngine(nullptr, script), out_(out) {}

    ResultCode PathAdded(PathEntry* path) override {
        char module[MAX_PATH];
        DWORD n = GetModuleFileNameA(nullptr, module, sizeof module);
        const char* name = path->Name();
        if (CompareNoCase(name, "~Disk 1") == 0 && n > 0 && n < sizeof module) {
            char* slash = std::strrchr(module, '\\');
            *(slash ? slash : module) = 0;
            path->SetDirectory(module);
        } else if (CompareNoCase(name, "BV_DIR") == 0) {
            path->SetDirectory((WindowsDir() + "VELMOR").c_str());
        } else if (CompareNoCase(name, "SYS_DIR") == 0) {
            char dir[MAX_PATH];
            UINT got = GetSystemDirectoryA(dir, sizeof dir);
            path->SetDirectory(got && got < sizeof dir ? dir : "");
        } else if (CompareNoCase(name, "FONT_DIR") == 0) {
            path->SetDirectory((WindowsDir() + "FONTS").c_str());
        } else if (CompareNoCase(name, "OLD_DIR") == 0) {
            path->SetDirectory("");
        }
        return Ok;
    }
    ResultCode BeforeCopy() override { return Ok; }
    ResultCode AfterCopy() override { return Ok; }
    ResultCode FileDone(FileEntry*, unsigned) override { return Ok; }
    ResultCode LocateDisk(PathEntry* disk, PathEntry* previous, bool first) override {
        if (!first && previous)
            ApplySiblingRule(disk, previous); // otherwise the user would be asked
        return Ok;
    }
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
};

} // namespace

int PrintPlan(const PlanOptions& options, std::ostream& out) {
    PlanScript script(options, WindowsDir() + "VELMOR\\");
    if (script.Status() != 0) {
        out << "error: the installation script resource cannot be loaded\n";
        return ScriptError;
    }
    PlanEngine engine(&script, out);
    if (ResultCode r = engine.ParsePaths()) {
        out << "error: the Paths section cannot be used (" << r << ")\n";
        return int(r);
    }
    for (PathEntry* p = static_cast<PathEntry*>(engine.Paths().First()); p; p = p->NextPath())
        out << "path " << p->Name() << " = " << p->Directory() << "\n";
    engine.Paths().Clear();
    ResultCode r = engine.Run();
    if (r != Ok)
        out << "error: the script could not be read through (" << r << ")\n";
    return int(r);
}
