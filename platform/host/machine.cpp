// The emulated Windows 98 machine: a folder with one sub-folder per drive
// (drive_c is C:, drive_a is A:, ...). DOS paths are mapped onto it
// case-insensitively, the way a FAT file system treats names.
#include "host_fs.h"
#include "machine.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace hostwin {

namespace {

std::string g_folder;
std::string g_moduleName = "C:\\WINDOWS\\TEMP\\SETUP.EXE";
thread_local DWORD g_lastError = 0;

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}
char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// What a character is to a name: a table, as every character of every
// path is looked up.
enum : unsigned char { kBadInName = 1, kWildcard = 2 };
struct NameChars {
    unsigned char kind[256] = {};
    constexpr NameChars() {
        for (int c = 0; c < 32; ++c)
            kind[c] = kBadInName;
        for (unsigned char c : {'<', '>', ':', '"', '|'})
            kind[c] = kBadInName;
        kind[unsigned('*')] = kind[unsigned('?')] = kWildcard;
    }
};
constexpr NameChars kNameChars;

bool ValidComponent(std::string_view name, bool allowWildcards) {
    const unsigned char refused = allowWildcards ? kBadInName : kBadInName | kWildcard;
    for (unsigned char c : name)
        if (kNameChars.kind[c] & refused)
            return false;
    return true;
}

// Adds "/" and `name` to the host folder path `host`, in the case the entry
// is stored in, and stats it; false when no entry of that name in any case
// is there. An entry of exactly that name wins, and one lstat finds it
// without reading the whole folder, which every component of every path
// would otherwise cost.
bool AddEntry(std::string* host, std::string_view name, struct stat* st) {
    const size_t folderEnd = host->size();
    host->push_back('/');
    host->append(name);
    if (hostfs::Lstat(*host, st) == 0)
        return !S_ISLNK(st->st_mode) || hostfs::Stat(*host, st) == 0;
    host->resize(folderEnd);
    std::string found;
    const bool any = hostfs::FindNoCase(*host, name, &found);
    host->push_back('/');
    host->append(any ? std::string_view(found) : name);
    return any && hostfs::Stat(*host, st) == 0;
}

bool WriteText(const std::string& path, const char* text) {
    return hostfs::WriteWhole(path, text);
}

const char kWinIni[] = "[windows]\r\n"
                       "load=\r\n"
                       "run=\r\n"
                       "NullPort=None\r\n"
                       "device=\r\n"
                       "\r\n"
                       "[Desktop]\r\n"
                       "Wallpaper=(None)\r\n"
                       "TileWallpaper=1\r\n"
                       "WallpaperStyle=0\r\n"
                       "\r\n"
                       "[intl]\r\n"
                       "iCountry=1\r\n"
                       "\r\n"
                       "[fonts]\r\n"
                       "\r\n"
                       "[FontSubstitutes]\r\n"
                       "Helv=MS Sans Serif\r\n"
                       "Tms Rmn=MS Serif\r\n"
                       "Times=Times New Roman\r\n"
                       "Helvetica=Arial\r\n"
                       "\r\n"
                       "[ports]\r\n"
                       "LPT1:=\r\n"
                       "COM1:=9600,n,8,1,x\r\n";

const char kSystemIni[] = "[boot]\r\n"
                          "shell=Explorer.exe\r\n"
                          "system.drv=system.drv\r\n"
                          "drivers=mmsystem.dll power.drv\r\n"
                          "keyboard.drv=keyboard.drv\r\n"
                          "mouse.drv=mouse.drv\r\n"
                          "display.drv=pnpdrvr.drv\r\n"
                          "comm.drv=comm.drv\r\n"
                          "language.dll=\r\n"
                          "fonts.fon=vgasys.fon\r\n"
                          "fixedfon.fon=vgafix.fon\r\n"
                          "oemfonts.fon=vgaoem.fon\r\n"
                          "\r\n"
                          "[boot.description]\r\n"
                          "keyboard.typ=Standard 101/102-Key or Microsoft Natural Keyboard\r\n"
                          "\r\n"
                          "[386Enh]\r\n"
                          "woafont=dosapp.fon\r\n"
                          "keyboard=*vkd\r\n"
                          "mouse=*vmouse, msmouse.vxd\r\n"
                          "\r\n"
                          "[keyboard]\r\n"
                          "keyboard.dll=\r\n"
                          "oemansi.bin=\r\n"
                          "subtype=\r\n"
                          "type=4\r\n"
                          "\r\n"
                          "[drivers]\r\n"
                          "\r\n"
                          "[mci]\r\n";

// What the registry of a fresh Windows 98 machine (United States) holds of
// the keys a setup program touches.
const char kRegistry[] =
    "REGEDIT4\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion]\r\n"
    "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\r\n"
    "\"SystemRoot\"=\"C:\\\\WINDOWS\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Fonts]\r\n"
    "\"Arial (TrueType)\"=\"ARIAL.TTF\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall]\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\keyboard layouts\\00000409]\r\n"
    "\"layout file\"=\"kbdus.kbd\"\r\n"
    "\"layout text\"=\"United States\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Nls\\Codepage]\r\n"
    "\"ACP\"=\"1252\"\r\n"
    "\"OEMCP\"=\"437\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Nls\\Locale]\r\n"
    "@=\"00000409\"\r\n\r\n"
    "[HKEY_CURRENT_USER\\Control Panel\\International]\r\n"
    "\"Locale\"=\"00000409\"\r\n\r\n"
    "[HKEY_CURRENT_USER\\keyboard layout\\preload\\1]\r\n"
    "@=\"00000409\"\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software]\r\n\r\n";

// The raster fonts and layout files a Windows 98 machine ships with.
const char* const kSystemFonts[] = {"8514fix.fon", "8514sys.fon", "8514oem.fon", "dosapp.fon",
                                    "serife.fon",  "seriff.fon",  "smalle.fon",  "smallf.fon",
                                    "coure.fon",   "courf.fon",   "sserife.fon", "sseriff.fon",
                                    "vgaoem.fon",  "vgafix.fon",  "vgasys.fon"};

bool CreateFreshMachine(const std::string& folder, std::string* error) {
    const std::string c = folder + "/drive_c";
    const char* dirs[] = {
        "", "/WINDOWS", "/WINDOWS/SYSTEM", "/WINDOWS/FONTS", "/WINDOWS/TEMP", "/WINDOWS/COMMAND"};
    if (hostfs::Mkdir(folder) != 0 && errno != EEXIST) {
        if (error)
            *error = "cannot create " + folder + ": " + std::strerror(errno);
        return false;
    }
    hostfs::Mkdir(folder + "/drive_a");
    for (const char* d : dirs) {
        if (hostfs::Mkdir(c + d) != 0 && errno != EEXIST) {
            if (error)
                *error = "cannot create " + c + d + ": " + std::strerror(errno);
            return false;
        }
    }
    bool ok = WriteText(c + "/WINDOWS/WIN.INI", kWinIni) &&
              WriteText(c + "/WINDOWS/SYSTEM.INI", kSystemIni);
    for (const char* f : kSystemFonts)
        ok = ok && WriteText(c + "/WINDOWS/FONTS/" + f, (std::string("system font ") + f).c_str());
    ok = ok && WriteText(c + "/WINDOWS/SYSTEM/kbdus.kbd", "system layout kbdus.kbd");
    ok = ok && WriteText(folder + "/registry.reg", kRegistry);
    if (!ok && error)
        *error = "cannot write the files of a fresh machine in " + folder;
    return ok;
}

void ResetSession() {
    ResetDde();
    ResetProgman();
    ResetShell();
}

} // namespace

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return "";
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

void SetError(DWORD code) {
    g_lastError = code;
}

DWORD ErrnoToWin32(int err) {
    switch (err) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOSPC:
        return ERROR_DISK_FULL;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

bool HostExists(const std::string& host, bool* isDirectory) {
    struct stat st;
    if (hostfs::Stat(host, &st) != 0)
        return false;
    if (isDirectory)
        *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

bool HostIsReadOnly(const std::string& host) {
    struct stat st;
    return hostfs::Stat(host, &st) == 0 && !S_ISDIR(st.st_mode) && !(st.st_mode & S_IWUSR);
}

namespace {

// FullDosPath into `out`, which has room for strlen(dosPath) + 4 bytes: its
// length, 0 for an invalid path.
size_t NormaliseDosPath(const char* dosPath, char* out) {
    if (!dosPath || !*dosPath)
        return 0;
    const char* p = dosPath;
    size_t n = 0;
    if (p[1] == ':') {
        out[n++] = Upper(p[0]);
        p += 2;
    } else {
        if (IsSeparator(p[0]) && IsSeparator(p[1]))
            return 0;   // network paths do not exist on this machine
        out[n++] = 'C'; // the current directory is C:\ .
    }
    out[n++] = ':';
    const size_t root = n;
    while (*p) {
        const char* name = p;
        while (*p && !IsSeparator(*p))
            ++p;
        const std::string_view part(name, size_t(p - name));
        if (*p)
            ++p;
        if (part == "..") {
            while (n > root && out[n - 1] != '\\')
                --n;
            n -= n > root;
        } else if (!part.empty() && part != ".") {
            out[n++] = '\\';
            std::memcpy(out + n, part.data(), part.size());
            n += part.size();
        }
    }
    if (n == root)
        out[n++] = '\\';
    out[n] = 0;
    return n;
}

} // namespace

std::string FullDosPath(const char* dosPath) {
    if (!dosPath)
        return "";
    std::string out(std::strlen(dosPath) + 4, '\0');
    out.resize(NormaliseDosPath(dosPath, &out[0]));
    return out;
}

MappedPath MapPath(const char* dosPath, bool allowWildcards) {
    MappedPath m;
    m.error = ERROR_PATH_NOT_FOUND;
    if (g_folder.empty() || !dosPath)
        return m;
    if (std::strlen(dosPath) >= MAX_PATH) {
        m.error = ERROR_FILENAME_EXCED_RANGE;
        return m;
    }
    char buffer[MAX_PATH + 4];
    const std::string_view full(buffer, NormaliseDosPath(dosPath, buffer));
    if (full.empty() || !((full[0] >= 'A' && full[0] <= 'Z')))
        return m;
    m.drive = full[0];
    std::string host;
    host.reserve(g_folder.size() + 8 + full.size());
    host = g_folder;
    host += "/drive_";
    host += Lower(m.drive);
    struct stat st;
    if (hostfs::Stat(host, &st) != 0 || !S_ISDIR(st.st_mode))
        return m;
    // Below a component that is not there nothing is, and names stay as given.
    bool parentExists = true, parentIsFolder = true;
    for (size_t start = 3; start < full.size();) {
        size_t end = full.find('\\', start);
        if (end == std::string_view::npos)
            end = full.size();
        const std::string_view part = full.substr(start, end - start);
        const bool last = end == full.size();
        if (!ValidComponent(part, allowWildcards && last)) {
            m.error = ERROR_INVALID_NAME;
            return m;
        }
        if (last) // st is still the parent's
            parentIsFolder = parentExists && S_ISDIR(st.st_mode);
        if (parentExists) {
            parentExists = AddEntry(&host, part, &st);
        } else {
            host += '/';
            host += part;
        }
        start = end + 1;
    }
    m.exists = parentExists;
    m.mode = parentExists ? st.st_mode : 0;
    m.size = parentExists ? st.st_size : 0;
    m.parentIsFolder = parentIsFolder;
    m.host = std::move(host);
    m.valid = true;
    m.error = 0;
    return m;
}

bool MountMachine(const std::string& folder, std::string* error) {
    if (folder.empty()) {
        if (error)
            *error = "no machine folder given";
        return false;
    }
    bool isDir = false;
    if (!HostExists(folder + "/drive_c", &isDir) || !isDir) {
        if (!CreateFreshMachine(folder, error))
            return false;
    }
    char resolved[4096];
    std::string mounted = realpath(folder.c_str(), resolved) ? resolved : folder;
    DropProfileCache();
    ResetWindows();
    ResetSession();
    if (!LoadRegistry(mounted, false, error)) {
        UnmountMachine();
        return false;
    }
    g_folder = mounted;
    return true;
}

bool MountMachineReadOnly(const std::string& name, std::string* error) {
    const std::string folder = name; // may be the mounted folder, forgotten below
    bool isDir = false;
    bool exists = !folder.empty() && HostExists(folder + "/drive_c", &isDir) && isDir;
    UnmountMachine();
    char resolved[4096];
    std::string mounted = exists && realpath(folder.c_str(), resolved) ? resolved : folder;
    if (!(exists ? LoadRegistry(mounted, true, error) : LoadRegistryText(kRegistry, error)))
        return false;
    SetReadOnly(true);
    g_folder = exists ? mounted : "";
    return true;
}

bool MountMachineInMemory(std::string* error) {
    UnmountMachine();
    hostfs::ClearMemory();
    if (!CreateFreshMachine(hostfs::kMemoryFolder, error) ||
        !LoadRegistry(hostfs::kMemoryFolder, false, error)) {
        hostfs::ClearMemory();
        return false;
    }
    g_folder = hostfs::kMemoryFolder;
    return true;
}

void UnmountMachine() {
    SetReadOnly(false);
    if (g_folder == hostfs::kMemoryFolder)
        hostfs::ClearMemory();
    g_folder.clear();
    ResetRegistry();
    DropProfileCache();
    ResetWindows();
    ResetSession();
}
bool IsMounted() {
    return !g_folder.empty();
}
const std::string& MachineFolder() {
    return g_folder;
}

std::string HostPath(const char* dosPath) {
    MappedPath m = MapPath(dosPath);
    return m.valid ? m.host : std::string();
}

void SetModuleFileName(const char* dosPath) {
    g_moduleName = dosPath ? dosPath : "";
}

} // namespace hostwin

using namespace hostwin;

DWORD GetLastError() {
    return g_lastError;
}
void SetLastError(DWORD code) {
    g_lastError = code;
}

namespace {
UINT CopyOut(std::string_view text, LPSTR buffer, UINT size) {
    if (!buffer || size <= text.size())
        return UINT(text.size() + 1);
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = 0;
    return UINT(text.size());
}
} // namespace

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    return CopyOut(WindowsDirectory(), buffer, size);
}
UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
    return CopyOut("C:\\WINDOWS\\SYSTEM", buffer, size);
}
DWORD GetTempPathA(DWORD size, LPSTR buffer) {
    return CopyOut("C:\\WINDOWS\\TEMP\\", buffer, size);
}

HMODULE GetModuleHandleA(LPCSTR name) {
    static char self;
    return name ? nullptr : reinterpret_cast<HMODULE>(&self);
}

DWORD GetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size) {
    if (!buffer || size == 0)
        return 0;
    size_t n = g_moduleName.size() < size - 1 ? g_moduleName.size() : size - 1;
    std::memcpy(buffer, g_moduleName.data(), n);
    buffer[n] = 0;
    return DWORD(n);
}

UINT GetDriveTypeA(LPCSTR root) {
    std::string r = root ? root : "C:\\";
    if (r.size() != 3 || r[1] != ':' || !IsSeparator(r[2]) || g_folder.empty())
        return DRIVE_NO_ROOT_DIR;
    char letter = Lower(r[0]);
    bool isDir = false;
    if (!HostExists(g_folder + "/drive_" + letter, &isDir) || !isDir)
        return DRIVE_NO_ROOT_DIR;
    return (letter == 'a' || letter == 'b') ? DRIVE_REMOVABLE : DRIVE_FIXED;
}
