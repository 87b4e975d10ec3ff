// setup.exe's own options, for those who deploy to many machines:
//   /answers=FILE  a silent installation answered from FILE
//   /record=FILE   write the answers the run used to FILE
//   /log=FILE      one line per dialog, file, system change and decision
// Without a word that starts with one of them the command line is not
// looked at at all: a file dropped on the program, a switch from a CD menu
// or an unquoted path with a blank changes nothing.
#pragma once

#include "platform/win32.h"

struct CommandLineOptions {
    char answers[MAX_PATH];
    char record[MAX_PATH];
    char log[MAX_PATH];
    char fault[MAX_PATH + 64]; // what is wrong with the command line; "" when nothing
};

// Reads the words of `line` (a value in double quotes may hold blanks).
// False when no word starts with /answers=, /record= or /log= (in any
// case): the command line is then to be ignored. Otherwise every word must
// be one of them, each given once, with a file name.
bool ReadCommandLine(const char* line, CommandLineOptions* o);
