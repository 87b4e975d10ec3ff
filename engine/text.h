// Small helpers over zero-terminated single-byte strings and paths.
#pragma once

#include <cstddef>

// Appends '\' to a non-empty text that does not end in one; capacity counts
// the terminator. Answers false (text unchanged) when there is no room.
bool AppendBackslash(char* text, size_t capacity);

// The text after the last dot of a file name; "" when there is no dot or the
// name ends in a dot. Points into `name`.
const char* FileExtension(const char* name);

// Copies at most capacity - 1 bytes of `source` and terminates; answers the
// number of bytes copied.
size_t CopyText(char* dest, size_t capacity, const char* source);

// Copies `count` bytes (cut to capacity - 1) and terminates.
size_t CopyBytes(char* dest, size_t capacity, const char* source, size_t count);

// Joins a directory and a name into dest when the whole fits (capacity counts
// the terminator); answers false and leaves dest empty otherwise.
bool JoinPath(char* dest, size_t capacity, const char* directory, const char* name);

int CompareNoCase(const char* a, const char* b);
int CompareNoCaseN(const char* a, const char* b, size_t n);
char UpperAscii(char c);
// Turns the letters a to z of `text` into A to Z, in place.
void UpperCase(char* text);

// How VisibleText shows a text. Without ShowUtf8 only the control bytes
// and DEL are written as \xNN, and the other bytes are the letters of the
// text's single-byte code page; with it the text is taken as UTF-8, and the
// C1 controls (0x80-0x9F) in their UTF-8 form and every byte that is not
// part of UTF-8 are written so too. KeepLineBreaks leaves '\n' as it is.
enum VisibleFlags : unsigned { ShowUtf8 = 1, KeepLineBreaks = 2 };

// Copies `length` bytes of `text` into `out` with every byte that a
// terminal could take as a command written as \xNN (ESC [2J: \x1b[2J), so
// that text from files, the machine or the disks is shown, never obeyed.
// Cut before a character or escape that does not fit; capacity counts the
// terminator. Answers the bytes written.
size_t VisibleText(char* out, size_t capacity, const char* text, size_t length, unsigned flags);

// Whether a find-first finds `path` (a file or a directory, or with * and ?
// any name the pattern matches); the search is closed at once.
bool PathExists(const char* path);
