// Text on its way to the terminal or to standard error: what comes from
// files, the machine or the disks is shown, never obeyed, and long lines are
// wrapped to the terminal the way the dialogs are.
#pragma once

#include <ostream>
#include <string>

// `text`, taken as UTF-8, with every byte a terminal could take as a
// command written as \xNN (VisibleText): the control bytes (line breaks
// too, unless `keepLineBreaks`), DEL, the control characters 0x80-0x9F in
// UTF-8 and any byte that is not part of UTF-8.
std::string Visible(const std::string& text, bool keepLineBreaks = false);

// The width of the terminal on `fd`; `fallback` when it is none.
int TerminalColumns(int fd, int fallback = 80);

// Prints `text` in lines shorter than `columns` characters: the first after
// `indent`, the rest after `hanging`. Words are kept whole; a word longer
// than a line is broken after a backslash, a comma or a blank, else cut.
// Line breaks in `text` are kept (the next line starts after `indent`).
void PrintWrapped(std::ostream& out, const std::string& text, int columns,
                  const std::string& indent, const std::string& hanging);
