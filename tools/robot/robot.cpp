// robot.exe: drives the dialogs of another program in the same Wine prefix
// the way a user would, and reports what it saw.
//   robot.exe STEPFILE [SHOTDIR]
// Each line of STEPFILE is one step; texts are in double quotes, where \n,
// \\ and \" stand for a line break, a backslash and a quote:
//   dialog "CAPTION" [MS]   wait for a visible, enabled dialog (#32770)
//   owned "CAPTION" [MS]    the same, owned by the current window (a
//                           question it asks while other dialogs are up)
//   window "CLASS" [MS]     wait for a visible top-level window of a class
//   expect ID "TEXT"        the control's text (ID 0: the caption)
//   await ID "TEXT" [MS]    wait until the control shows that text
//   expect-check ID 0|1     the check box's state
//   expect-maximised        the window is maximised
//   expect-centred [DY]     centred on the screen, moved DY pixels down
//   expect-foreground       the window (or a window it belongs to) is in front
//   activate                bring the window to the front
//   type ID "TEXT"          set the text of an edit field
//   check ID 0|1            set a check box
//   choose ID "TEXT"        open the list box item with that text
//   press ID | press "TEXT" press a button, by id or by its text
//   gone [MS]               wait until the current window is closed
//   shot NAME [screen]      the window (or the whole screen) as NAME.bmp
//   sleep MS
//   time-mark NAME          print "time-mark NAME MS", MS from a fixed
//                           start in milliseconds (QueryPerformanceCounter),
//                           so a caller can time the steps between two marks
// A dialog stays findable until it is gone: after a press that closes one,
// wait with "gone" before looking for the next of the same caption.
// Every message to the target has a time-out, and so does every wait: a hung
// or missing dialog ends the run, never hangs it. Exit code: 0 when every
// step passed, 1 when an expectation failed, 2 when a step could not be done.
#include "robot.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Run {
    HWND current = nullptr;
    const char* shotDir = ".";
    int failures = 0;
};

const char* Arg(const Step& step, int i) {
    return i < step.count ? step.args[i] : "";
}

int Number(const Step& step, int i, int fallback) {
    return i < step.count ? std::atoi(step.args[i]) : fallback;
}

bool Find(Run& run, const Step& step, bool dialog, HWND owner = nullptr) {
    int timeout = Number(step, 1, DefaultTimeoutMs);
    run.current = WaitForWindow(dialog ? "#32770" : Arg(step, 0), dialog ? Arg(step, 0) : nullptr,
                                timeout, owner);
    if (!run.current) {
        std::printf("TIMEOUT no %s%s \"%s\" after %d ms\n", owner ? "owned " : "",
                    dialog ? "dialog" : "window", Arg(step, 0), timeout);
        return false;
    }
    Describe(run.current);
    return true;
}

bool Expect(Run& run, const Step& step) {
    int id = Number(step, 0, 0);
    char text[TextSize];
    if (!ControlText(run.current, id, text, sizeof text)) {
        std::printf("FAIL expect %d: no such control\n", id);
        ++run.failures;
        return true;
    }
    if (std::strcmp(text, Arg(step, 1)) != 0) {
        std::printf("FAIL expect %d: \"%s\", want \"%s\"\n", id, Escaped(text).text,
                    Escaped(Arg(step, 1)).text);
        ++run.failures;
    }
    return true;
}

bool Await(Run& run, const Step& step) {
    int id = Number(step, 0, 0), timeout = Number(step, 2, DefaultTimeoutMs);
    DWORD start = GetTickCount();
    char text[TextSize] = "";
    while (!ControlText(run.current, id, text, sizeof text) ||
           std::strcmp(text, Arg(step, 1)) != 0) {
        if (int(GetTickCount() - start) >= timeout) {
            std::printf("FAIL await %d: \"%s\" after %d ms, want \"%s\"\n", id, Escaped(text).text,
                        timeout, Escaped(Arg(step, 1)).text);
            ++run.failures;
            return true;
        }
        Sleep(50);
    }
    return true;
}

bool Choose(Run& run, const Step& step) {
    if (!ChooseListItem(run.current, Number(step, 0, 0), Arg(step, 1))) {
        std::printf("ERROR choose %s: no item \"%s\"\n", Arg(step, 0), Escaped(Arg(step, 1)).text);
        return false;
    }
    return true;
}

bool ExpectCheck(Run& run, const Step& step) {
    int id = Number(step, 0, 0), want = Number(step, 1, 0);
    int state = CheckState(run.current, id);
    if (state != want) {
        std::printf("FAIL expect-check %d: %d, want %d\n", id, state, want);
        ++run.failures;
    }
    return true;
}

bool ExpectMaximised(Run& run) {
    if (!IsZoomed(run.current)) {
        std::printf("FAIL expect-maximised: the window is not maximised\n");
        ++run.failures;
    }
    return true;
}

bool ExpectCentred(Run& run, const Step& step) {
    RECT r;
    GetWindowRect(run.current, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2 + Number(step, 0, 0);
    if (r.left != x || r.top != y) {
        std::printf("FAIL expect-centred: at %ld,%ld, want %d,%d\n", r.left, r.top, x, y);
        ++run.failures;
    }
    return true;
}

// A dialog in front counts for the window that owns it.
bool ExpectForeground(Run& run) {
    HWND front = GetForegroundWindow();
    HWND root = front ? GetAncestor(front, GA_ROOTOWNER) : nullptr;
    if (front != run.current && root != run.current) {
        char caption[TextSize] = "";
        if (front)
            GetWindowTextA(front, caption, sizeof caption);
        std::printf("FAIL expect-foreground: \"%s\" is in front\n", Escaped(caption).text);
        ++run.failures;
    }
    return true;
}

bool Press(Run& run, const Step& step) {
    const char* what = Arg(step, 0);
    int id = step.quoted[0] ? ButtonWithText(run.current, what) : std::atoi(what);
    if (id <= 0 || !PressButton(run.current, id)) {
        std::printf("ERROR press %s: no such button\n", what);
        return false;
    }
    return true;
}

bool Shot(Run& run, const Step& step) {
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "%s\\%s.bmp", run.shotDir, Arg(step, 0));
    bool screen = std::strcmp(Arg(step, 1), "screen") == 0;
    if (!SaveScreenshot(screen ? nullptr : run.current, path)) {
        std::printf("ERROR shot %s: cannot capture or write it\n", Arg(step, 0));
        return false;
    }
    std::printf("shot %s\n", Arg(step, 0));
    return true;
}

bool TimeMark(const Step& step) {
    LARGE_INTEGER now, frequency;
    if (!QueryPerformanceCounter(&now) || !QueryPerformanceFrequency(&frequency) ||
        frequency.QuadPart == 0) {
        std::printf("ERROR time-mark %s: no performance counter\n", Arg(step, 0));
        return false;
    }
    std::printf("time-mark %s %.3f\n", Arg(step, 0),
                double(now.QuadPart) * 1000.0 / double(frequency.QuadPart));
    return true;
}

bool NeedsWindow(const char* verb) {
    return std::strcmp(verb, "dialog") != 0 && std::strcmp(verb, "window") != 0 &&
           std::strcmp(verb, "sleep") != 0 && std::strcmp(verb, "shot") != 0 &&
           std::strcmp(verb, "time-mark") != 0;
}

bool Do(Run& run, const Step& step) {
    const char* verb = step.verb;
    if (NeedsWindow(verb) && !run.current) {
        std::printf("ERROR %s: no dialog or window found yet\n", verb);
        return false;
    }
    if (!std::strcmp(verb, "dialog") || !std::strcmp(verb, "window"))
        return Find(run, step, verb[0] == 'd');
    if (!std::strcmp(verb, "owned"))
        return Find(run, step, true, run.current);
    if (!std::strcmp(verb, "expect"))
        return Expect(run, step);
    if (!std::strcmp(verb, "expect-check"))
        return ExpectCheck(run, step);
    if (!std::strcmp(verb, "await"))
        return Await(run, step);
    if (!std::strcmp(verb, "choose"))
        return Choose(run, step);
    if (!std::strcmp(verb, "expect-maximised"))
        return ExpectMaximised(run);
    if (!std::strcmp(verb, "expect-centred"))
        return ExpectCentred(run, step);
    if (!std::strcmp(verb, "expect-foreground"))
        return ExpectForeground(run);
    if (!std::strcmp(verb, "activate"))
        return SetForegroundWindow(run.current) != 0;
    if (!std::strcmp(verb, "type"))
        return SetControlText(run.current, Number(step, 0, 0), Arg(step, 1));
    if (!std::strcmp(verb, "check"))
        return SetCheckState(run.current, Number(step, 0, 0), Number(step, 1, 0));
    if (!std::strcmp(verb, "press"))
        return Press(run, step);
    if (!std::strcmp(verb, "gone"))
        return WaitGone(run.current, Number(step, 0, DefaultTimeoutMs));
    if (!std::strcmp(verb, "shot"))
        return Shot(run, step);
    if (!std::strcmp(verb, "time-mark"))
        return TimeMark(step);
    if (!std::strcmp(verb, "sleep")) {
        Sleep(DWORD(Number(step, 0, 0)));
        return true;
    }
    std::printf("ERROR unknown step \"%s\"\n", verb);
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: robot STEPFILE [SHOTDIR]\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0); // a test reads the report as it goes
    FILE* file = std::fopen(argv[1], "r");
    if (!file) {
        std::printf("ERROR cannot open %s\n", argv[1]);
        return 2;
    }
    Run run;
    if (argc == 3)
        run.shotDir = argv[2];
    char line[1024];
    int number = 0;
    bool ok = true;
    while (ok && std::fgets(line, sizeof line, file)) {
        ++number;
        Step step;
        if (!ParseStep(line, &step)) {
            std::printf("ERROR line %d: %s", number, line);
            ok = false;
        } else if (step.verb[0]) {
            ok = Do(run, step);
            if (!ok)
                std::printf("ERROR at line %d: %s", number, line);
        }
    }
    std::fclose(file);
    if (!ok)
        return 2;
    std::printf("%s: %d failed expectation(s)\n", run.failures ? "FAILED" : "PASSED", run.failures);
    return run.failures ? 1 : 0;
}
