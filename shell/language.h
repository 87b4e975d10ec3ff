// The language in force and the mapping of message and dialog ids to the
// resources of that language; the module whose resources are loaded.
#pragma once

#include "resource_ids.h" // the resource ids it maps

#include "platform/win32.h"

enum : int { LanguageBulgarian = 10000, LanguageEnglish = 10001 };

// Symbolic dialog ids, each for the IDD_ template of the same name; the
// message ones are in engine_ui.h.
enum SymbolicDialog : int {
    DlgMessage = 20001,
    DlgQuestion = 20002,
    DlgDirectoryPrompt = 20003,
    DlgDirectoryPrompt2 = 20004,
    DlgProgress = 20005,
    DlgBrowse = 20006,
};

int LanguageCode();
void SetLanguageCode(int language);

HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

// The base id a symbolic id stands for; other ids unchanged.
int MapSymbolicId(int id);
// The resource id of a message or dialog in the language in force.
int MapResourceId(int id);

// Loads message `id` (base or symbolic) into buffer; "" when it is missing.
int LoadMessage(int id, char* buffer, int size);
