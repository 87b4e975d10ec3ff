// The Cyrillic replacement of the raster system fonts: the new files are
// copied under a free extension during the run, and WININIT.INI puts them
// in place of the system's files at the next Windows start.
#pragma once

#include <cstddef>

// The Windows directory followed by FONTS, without a trailing backslash.
void FontsDirectory(char* output, size_t size);
// Sets FontExtension to the first of 001..063 (hexadecimal) that no file in
// the fonts directory has; 063 when all are taken.
void ChooseFontExtension();

// Schedules the replacement; always 1, whatever the INI, registry and file
// calls answer.
int ReplaceSystemFonts();
int ScheduleOldFontDeletes();
int ScheduleSystemDelete(const char* fileName);
int ScheduleSystemFontRenames();
int ScheduleFontRename(const char* fontFile, const char* newFile, bool system);
int WriteFontSubstitutes();
