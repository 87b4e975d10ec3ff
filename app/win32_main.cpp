// setup.exe: the process entry of the Win32 program. Without one of its
// options (command_line.h) the command line is not used and the exit code
// is 0 whatever the installation's result. With them the exit code tells
// how the run ended (RunExitCode); /answers makes the run silent: no window
// or dialog is shown, each dialog is answered from the file or takes its
// proposed answer.
#include "answer_file.h"
#include "command_line.h"
#include "dialog_answers.h"
#include "language.h"
#include "main_window.h"
#include "product_installer.h"
#include "run_log.h"
#include "run_watch.h"
#include "shell_ui.h"
#include "silent_front_end.h"
#include "text.h"
#include "win32_front_end.h"

#include <cstdio>
#include <cstring>

namespace {

// The log: each line written through to the file at once, so a crash leaves
// every line before it.
class FileLog : public RunLog {
  public:
    explicit FileLog(HANDLE file) : file_(file) {}
    void Line(const char* text) override {
        DWORD written;
        WriteFile(file_, text, DWORD(std::strlen(text)), &written, nullptr);
        WriteFile(file_, "\r\n", 2, &written, nullptr);
    }

  private:
    HANDLE file_;
};

struct LogFaults : AnswerFaults {
    void Fault(const char* text) override { LogLine("%s", text); }
};

// Reads and checks the answer file; what is wrong goes to the log.
bool LoadAnswers(const char* path, AnswerFile* answers) {
    static char text[64 * 1024];
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        LogLine("%s: is a directory, not an answer file", path);
        return false;
    }
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD size = 0;
    bool read = file != INVALID_HANDLE_VALUE && ReadFile(file, text, sizeof text, &size, nullptr) &&
                size < sizeof text;
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (!read) {
        LogLine("%s: cannot be read (error %lu, or larger than %u bytes)", path, GetLastError(),
                unsigned(sizeof text - 1));
        return false;
    }
    LogFaults faults;
    return answers->Parse(path, text, size, &faults) == 0;
}

HANDLE OpenForWriting(const char* path, DWORD disposition) {
    return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool SaveRecord(const char* path, const AnswerFile& record) {
    static char text[AnswerFile::MaxEntries * (AnswerFile::ValueSize + 64)];
    size_t length = record.Format(text, sizeof text, "\r\n");
    if (length >= sizeof text)
        return false;
    HANDLE file = OpenForWriting(path, CREATE_ALWAYS);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool saved = WriteFile(file, text, DWORD(length), &written, nullptr) && written == length;
    return CloseHandle(file) && saved;
}

// The answer file, the record and the log are three files: one named twice
// would be read and overwritten, or written twice over. Compared by full
// path without case, as Windows names them. Answers whether two are one,
// the fault told unless the command line has one already; `logTaken`: the
// log is one of them, so it must not be opened either.
bool SharedFile(CommandLineOptions* o, bool* logTaken) {
    const struct {
        const char* flag;
        const char* path;
    } files[] = {{"/answers=", o->answers}, {"/record=", o->record}, {"/log=", o->log}};
    char full[3][MAX_PATH];
    for (int i = 0; i < 3; ++i) {
        char* name = nullptr;
        DWORD n = GetFullPathNameA(files[i].path, MAX_PATH, full[i], &name);
        if (n == 0 || n >= MAX_PATH)
            CopyText(full[i], MAX_PATH, files[i].path);
    }
    bool shared = false;
    for (int i = 0; i < 3; ++i) {
        for (int j = i + 1; j < 3; ++j) {
            if (!files[i].path[0] || !files[j].path[0] || CompareNoCase(full[i], full[j]) != 0)
                continue;
            if (!shared && !o->fault[0])
                std::snprintf(o->fault, sizeof o->fault, "%s and %s name the same file %.200s",
                              files[i].flag, files[j].flag, full[i]);
            shared = true;
            *logTaken = *logTaken || j == 2;
        }
    }
    return shared;
}

void WriteLogHeader(const CommandLineOptions& o) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char started[32];
    std::snprintf(started, sizeof started, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth,
                  t.wDay, t.wHour, t.wMinute, t.wSecond);
    char module[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, module, sizeof module);
    if (n == 0 || n >= sizeof module)
        CopyText(module, sizeof module, "unknown");
    LogHeader({started, "setup.exe 3.2 (the setup program of Brivanta 3.2)", GetCommandLineA(),
               module, o.answers[0] ? o.answers : "none: the dialogs are shown"});
}

int BadInput(const char* what) {
    LogLine("result %d: Bad input: %s", int(ExitBadInput), what);
    return ExitBadInput;
}

// A run with options; answers its exit code.
int RunWithOptions(ProductInstaller* installer, const CommandLineOptions& o) {
    if (o.fault[0])
        return BadInput(o.fault);
    static AnswerFile answers, record;
    if (o.answers[0] && !LoadAnswers(o.answers, &answers))
        return BadInput("the answer file does not pass its checks");
    if (o.answers[0] && answers.Count() == 0)
        LogLine("the answer file holds no answers: every dialog takes its proposed answer");
    if (o.record[0]) {
        // Before the run: a record that cannot be written is found out now.
        HANDLE file = OpenForWriting(o.record, OPEN_ALWAYS);
        if (file == INVALID_HANDLE_VALUE)
            return BadInput("the record cannot be written");
        CloseHandle(file);
    }
    DialogAnswers policy(&answers);
    SilentFrontEnd silent(&policy);
    Win32FrontEnd screen;
    bool quiet = o.answers[0] != 0;
    RunWatch watch(quiet ? static_cast<DialogFrontEnd*>(&silent) : &screen,
                   o.record[0] ? &record : nullptr);
    SetFrontEnd(&watch);
    ResultCode window = RunMainWindow(installer, !quiet);
    SetFrontEnd(nullptr);
    if (window == AlreadyRunning) {
        LogLine("result %d: Another run is already on this machine.", int(ExitAlreadyRunning));
        return ExitAlreadyRunning;
    }
    if (o.record[0] && !SaveRecord(o.record, record))
        LogLine("the record %s cannot be written", o.record);
    const MainWindowRun& run = LastMainWindowRun();
    if (window != Ok)
        return EndOfRun(window, false, false, watch, nullptr).exitCode;
    return EndOfRun(run.runResult, run.restartRequested, run.restartStarted, watch,
                    policy.LoopDialog())
        .exitCode;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    ProductInstaller installer(instance);
    SetModuleInstance(instance);
    ShellUi ui;
    installer.SetUi(&ui);
    CommandLineOptions options;
    if (!ReadCommandLine(commandLine ? commandLine : "", &options)) {
        Win32FrontEnd frontEnd;
        SetFrontEnd(&frontEnd);
        RunMainWindow(&installer);
        SetFrontEnd(nullptr);
        return 0;
    }
    // Before anything is opened, even when the command line has another
    // fault: the log would replace the answer file.
    bool logTaken = false;
    SharedFile(&options, &logTaken);
    // A log that cannot be written leaves the exit code to tell.
    HANDLE logFile = INVALID_HANDLE_VALUE;
    if (options.log[0] && !logTaken &&
        (logFile = OpenForWriting(options.log, CREATE_ALWAYS)) == INVALID_HANDLE_VALUE)
        return ExitBadInput;
    if (logTaken)
        return ExitBadInput;
    FileLog log(logFile);
    if (logFile != INVALID_HANDLE_VALUE) {
        SetRunLog(&log);
        WriteLogHeader(options);
    }
    int code = RunWithOptions(&installer, options);
    SetRunLog(nullptr);
    if (logFile != INVALID_HANDLE_VALUE)
        CloseHandle(logFile);
    return code;
}
