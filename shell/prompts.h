// The directory prompts (destination, source, next disk) and the creation
// of a missing destination directory.
#pragma once

#include "result_code.h"

#include "platform/win32.h"

struct PromptRequest {
    int messageId;       // first line of text
    int secondMessageId; // second line; 0 = none (the one-line dialog)
    char argument[256];  // put into the first line's "%s"; "" = none
    char editText[MAX_PATH];
};
extern PromptRequest promptRequest;

// 1 for OK, 2 for Cancel (Esc, close box), -1 when the dialog cannot be
// created. The buffer holds the user's text afterwards in every case.
int PromptDirectory(HWND owner, int message, int secondMessage, char* buffer, unsigned size);
// One line, with the disk name (without a leading '~') as the argument.
int PromptDisk(HWND owner, int message, const char* diskName, char* buffer, unsigned size);

// Asks for the destination, offers to create it, and leaves it in
// DestinationDir without a trailing '\'. 0, or 2 when cancelled (after the
// abort confirmation when mayAbort is set; otherwise DestinationDir is left
// as it was).
ResultCode AskDestinationDirectory(HWND owner, bool mayAbort);

// Creates every missing level of `path` below its drive root; nonzero when
// they all exist now. Levels made before a failure stay.
BOOL CreateDirectoryPath(const char* path, LPSECURITY_ATTRIBUTES security);

// Removes one trailing '\', then all trailing spaces.
void TidyDirectory(char* path);

// Whether a destination can be installed to wherever the program runs from:
// it starts with a drive root ("C:\"), so the current directory (the
// floppy, on a real machine) has no part in it, and holds no character a
// FAT name cannot hold. Answers what is wrong, or null when nothing is.
const char* DestinationFault(const char* path);
