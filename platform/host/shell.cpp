// Starting programs, ending and restarting Windows, the version the machine
// reports and the texts given to windows. Nothing is really started: the
// machine records what it was asked, and the restart is a step its user
// takes (RestartMachine) once the setup program has ended.
#include "host_fs.h"
#include "machine.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace hostwin {

namespace {

std::vector<ShellStart> g_starts;
std::vector<unsigned> g_exitCalls;
bool g_restart = false;
bool g_nt = false;
std::map<HWND, std::string> g_texts;
std::vector<RaiseCall> g_raises;

bool IsFile(const std::string& dosPath) {
    MappedPath m = MapPath(dosPath.c_str());
    bool isDirectory = false;
    return m.valid && HostExists(m.host, &isDirectory) && !isDirectory;
}

// A bare program name is looked for where Windows looks: the given
// directory, then the Windows and system directories.
bool ProgramExists(const std::string& file, const std::string& directory) {
    if (file.find_first_of("\\:") != std::string::npos)
        return IsFile(file);
    std::string places[] = {directory, WindowsDirectory(), "C:\\WINDOWS\\SYSTEM"};
    for (const std::string& dir : places)
        if (!dir.empty() && IsFile(dir + "\\" + file))
            return true;
    return false;
}

// WININIT runs in the Windows directory: a name without a drive or root is
// taken there.
std::string WininitPath(const std::string& name) {
    if ((name.size() >= 2 && name[1] == ':') || (!name.empty() && name[0] == '\\'))
        return name;
    return InWindowsDirectory(name);
}

bool CarryRename(RenameStep* step) {
    MappedPath source = MapPath(WininitPath(step->source).c_str());
    bool isDirectory = false;
    if (!source.valid || !HostExists(source.host, &isDirectory) || isDirectory)
        return false;
    if (step->deleted)
        return hostfs::Unlink(source.host) == 0;
    MappedPath target = MapPath(WininitPath(step->target).c_str());
    if (!target.valid || (HostExists(target.host, &isDirectory) && isDirectory))
        return false;
    return hostfs::Rename(source.host, target.host) == 0;
}

// The lines of the first [rename] section, in file order (a second one is
// left alone, as Wine does).
std::vector<RenameStep> RenameLines(const std::string& hostFile) {
    std::vector<RenameStep> steps;
    std::string text;
    hostfs::ReadWhole(hostFile, &text);
    std::istringstream in(text);
    std::string line;
    bool inRename = false;
    bool seen = false;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (!line.empty() && line[0] == '[') {
            size_t end = line.find(']');
            inRename = !seen && end != std::string::npos &&
                       EqualNoCase(Trim(line.substr(1, end - 1)), "rename");
            seen = seen || inRename;
            continue;
        }
        size_t eq = line.find('=');
        if (!inRename || line.empty() || line[0] == ';' || eq == std::string::npos)
            continue;
        RenameStep step;
        step.target = Trim(line.substr(0, eq));
        step.source = Trim(line.substr(eq + 1));
        step.deleted = EqualNoCase(step.target, "NUL");
        step.done = false;
        steps.push_back(step);
    }
    return steps;
}

} // namespace

void ResetShell() {
    g_starts.clear();
    g_exitCalls.clear();
    g_restart = false;
    g_nt = false;
    g_texts.clear();
    g_raises.clear();
}

const std::vector<ShellStart>& ShellStarts() {
    return g_starts;
}
bool RestartRequested() {
    return g_restart;
}
const std::vector<unsigned>& ExitWindowsCalls() {
    return g_exitCalls;
}
void SetWindowsNT(bool nt) {
    g_nt = nt;
}
std::string WindowText(HWND window) {
    auto it = g_texts.find(window);
    return it == g_texts.end() ? std::string() : it->second;
}
const std::vector<RaiseCall>& RaiseCalls() {
    return g_raises;
}

std::vector<RenameStep> RestartMachine() {
    g_restart = false;
    std::vector<RenameStep> steps;
    std::string ini = HostPath(InWindowsDirectory("WININIT.INI").c_str());
    if (ini.empty() || !HostExists(ini) || MachineIsReadOnly())
        return steps;
    DropProfileCache(); // the file goes away under the profile calls
    steps = RenameLines(ini);
    for (RenameStep& step : steps)
        step.done = CarryRename(&step);
    std::string bak = HostPath(InWindowsDirectory("WININIT.BAK").c_str());
    if (!bak.empty())
        hostfs::Rename(ini, bak);
    return steps;
}

} // namespace hostwin

using namespace hostwin;

HINSTANCE ShellExecuteA(HWND, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        int show) {
    ShellStart start;
    start.operation = operation ? operation : "";
    start.file = file ? file : "";
    start.parameters = parameters ? parameters : "";
    start.directory = directory ? directory : "";
    start.show = show;
    start.started = !start.file.empty() && ProgramExists(start.file, start.directory);
    g_starts.push_back(start);
    return reinterpret_cast<HINSTANCE>(uintptr_t(start.started ? 33 : SE_ERR_FNF));
}

BOOL ExitWindowsEx(UINT flags, DWORD) {
    g_exitCalls.push_back(flags);
    if (flags & EWX_REBOOT)
        g_restart = true;
    return TRUE;
}

BOOL GetVersionExA(LPOSVERSIONINFOA info) {
    if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    // The values Windows 98 and Windows NT 4.0 report.
    info->dwMajorVersion = 4;
    info->dwMinorVersion = g_nt ? 0 : 10;
    info->dwBuildNumber = g_nt ? 1381 : 0x040A07CE;
    info->dwPlatformId = g_nt ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS;
    std::strcpy(info->szCSDVersion, g_nt ? "Service Pack 6" : " A");
    return TRUE;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    if (!window) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    g_texts[window] = text ? text : "";
    return TRUE;
}

BOOL BringWindowToTop(HWND window) {
    g_raises.push_back({"BringWindowToTop", window, ProgmanCommands().size()});
    if (!window) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL SetForegroundWindow(HWND window) {
    g_raises.push_back({"SetForegroundWindow", window, ProgmanCommands().size()});
    return TRUE;
}
