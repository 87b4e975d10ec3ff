// The parts of the robot: its step lines, and what it does to the windows
// of another program (every message with a time-out) and to the screen.
#pragma once

#include <windows.h>

enum { DefaultTimeoutMs = 10000, MessageTimeoutMs = 3000, TextSize = 1024 };

// One line of a step file: a verb and up to four arguments.
struct Step {
    enum { MaxArgs = 4, ArgSize = 512 };
    char verb[32] = "";
    char args[MaxArgs][ArgSize] = {};
    bool quoted[MaxArgs] = {};
    int count = 0;
};

// False for a malformed line; a blank or comment line gives an empty verb.
bool ParseStep(const char* line, Step* step);

// A text with its line breaks, backslashes and quotes written as escapes.
struct EscapedText {
    char text[TextSize * 2];
};
EscapedText Escaped(const char* text);

// The first visible top-level window of `windowClass` within `timeoutMs`;
// with a caption, also enabled and of that caption; with an owner, owned by
// it. None after the time.
HWND WaitForWindow(const char* windowClass, const char* caption, int timeoutMs,
                   HWND owner = nullptr);
// True once the window is closed or hidden, false after the time-out.
bool WaitGone(HWND window, int timeoutMs);
// Prints the window's caption, rectangle and every control.
void Describe(HWND window);

// Control `id` of the window (0: the window itself).
bool ControlText(HWND window, int id, char* text, int size);
bool SetControlText(HWND window, int id, const char* text);
int CheckState(HWND window, int id); // -1 when it cannot be read
bool SetCheckState(HWND window, int id, int checked);
// The id of the button whose text is `text`, 0 when there is none.
int ButtonWithText(HWND window, const char* text);
// Selects the item of list box `id` whose text is `text` and opens it as a
// double click would; false when there is no such item.
bool ChooseListItem(HWND window, int id, const char* text);
// Posts the button's click notification to its dialog: a button that opens
// a modal dialog must not hold the robot until that dialog ends.
bool PressButton(HWND window, int id);

// Captures the window's rectangle (none: the whole screen) once two
// captures in a row agree (painting has settled) and writes it as a 24-bit
// BMP file.
bool SaveScreenshot(HWND window, const char* path);
