/* What Wine's advapi32 registry tests need, in C, over the host stand-in:
 * the registry calls it has go to it (shim.cpp), every other call is a stub
 * that answers ERROR_CALL_NOT_IMPLEMENTED or fails and marks the checks
 * after it as not counted. */
#ifndef SHIM_H
#define SHIM_H
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef int BOOL;
typedef unsigned char BYTE;
typedef char CHAR;
typedef uint32_t DWORD, ULONG, UINT, *LPDWORD, *PDWORD;
typedef int32_t LONG, LSTATUS, NTSTATUS;
typedef uint64_t ULONG64;
typedef uintptr_t UINT_PTR, ULONG_PTR;
typedef unsigned short WCHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef WCHAR *LPWSTR, *PWSTR;
typedef const WCHAR *LPCWSTR, *PCWSTR;
typedef void *PVOID, *LPVOID, *HANDLE, *HMODULE, *PSID, *PACL, *HLOCAL, *PSECURITY_DESCRIPTOR;
typedef const void* LPCVOID;
typedef BYTE* LPBYTE;
typedef BOOL* PBOOL;
typedef struct HKEY__ *HKEY, **PHKEY;
typedef DWORD REGSAM, SECURITY_INFORMATION;
typedef struct {
    DWORD nLength;
    void* lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;
typedef struct {
    uint16_t Length, MaximumLength;
    WCHAR* Buffer;
} UNICODE_STRING, *PUNICODE_STRING;
typedef struct {
    ULONG Length;
    HANDLE RootDirectory;
    PUNICODE_STRING ObjectName;
    ULONG Attributes;
    void *SecurityDescriptor, *SecurityQualityOfService;
} OBJECT_ATTRIBUTES, *POBJECT_ATTRIBUTES;
typedef struct {
    BYTE Value[6];
} SID_IDENTIFIER_AUTHORITY;
typedef struct {
    BYTE Revision, Sbz1;
    uint16_t Control;
    void *Owner, *Group, *Sacl, *Dacl;
} SECURITY_DESCRIPTOR;
typedef struct {
    void* pMultipleTrustee;
    int MultipleTrusteeOperation, TrusteeForm, TrusteeType;
    LPSTR ptstrName;
} TRUSTEEA;
typedef struct {
    DWORD grfAccessPermissions;
    int grfAccessMode;
    DWORD grfInheritance;
    TRUSTEEA Trustee;
} EXPLICIT_ACCESSA;
typedef struct {
    LONG Bias;
    WCHAR StandardName[32];
    BYTE rest[200];
} DYNAMIC_TIME_ZONE_INFORMATION;
typedef struct {
    uint16_t wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
} SYSTEMTIME;

#define WINAPI
#define CDECL
#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define ARRAY_SIZE(a) (sizeof(a) / sizeof((a)[0]))
#define HandleToUlong(h) ((ULONG)(ULONG_PTR)(h))
#define UlongToHandle(u) ((HANDLE)(ULONG_PTR)(u))
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)0x80000000)
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002)
#define HKEY_USERS ((HKEY)(ULONG_PTR)0x80000003)
#define HKEY_SPECIAL_ROOT_FIRST HKEY_CLASSES_ROOT
#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_INVALID_PARAMETER 87
#define ERROR_CALL_NOT_IMPLEMENTED 120
#define ERROR_BAD_PATHNAME 161
#define ERROR_MORE_DATA 234
#define ERROR_NO_MORE_ITEMS 259
#define ERROR_UNSUPPORTED_TYPE 1630
#define ERROR_DATATYPE_MISMATCH 1629
#define ERROR_NOACCESS 998
#define ERROR_BADKEY 1010
#define ERROR_KEY_DELETED 1018
#define ERROR_CHILD_MUST_BE_VOLATILE 1021
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define REG_QWORD 11
#define REG_OPTION_NON_VOLATILE 0
#define REG_OPTION_VOLATILE 1
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2
#define KEY_QUERY_VALUE 0x1
#define KEY_SET_VALUE 0x2
#define KEY_CREATE_SUB_KEY 0x4
#define KEY_ENUMERATE_SUB_KEYS 0x8
#define KEY_NOTIFY 0x10
#define KEY_WOW64_64KEY 0x100
#define KEY_WOW64_32KEY 0x200
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xf003f
#define MAXIMUM_ALLOWED 0x02000000
#define GENERIC_ALL 0x10000000
#define STANDARD_RIGHTS_ALL 0x001f0000
#define RRF_RT_REG_NONE 0x1
#define RRF_RT_REG_SZ 0x2
#define RRF_RT_REG_EXPAND_SZ 0x4
#define RRF_RT_REG_BINARY 0x8
#define RRF_RT_REG_DWORD 0x10
#define RRF_RT_REG_MULTI_SZ 0x20
#define RRF_RT_REG_QWORD 0x40
#define RRF_RT_DWORD (RRF_RT_REG_BINARY | RRF_RT_REG_DWORD)
#define RRF_RT_QWORD (RRF_RT_REG_BINARY | RRF_RT_REG_QWORD)
#define RRF_RT_ANY 0xffff
#define RRF_SUBKEY_WOW6464KEY 0x10000
#define RRF_SUBKEY_WOW6432KEY 0x20000
#define RRF_NOEXPAND 0x10000000
#define RRF_ZEROONFAILURE 0x20000000
#define DACL_SECURITY_INFORMATION 4
#define SECURITY_DESCRIPTOR_MIN_LENGTH 40
#define SECURITY_DESCRIPTOR_REVISION 1
#define SECURITY_WORLD_SID_AUTHORITY                                                               \
    { 0, 0, 0, 0, 0, 1 }
#define SECURITY_WORLD_RID 0
#define SET_ACCESS 2
#define SUB_CONTAINERS_AND_OBJECTS_INHERIT 3
#define NO_MULTIPLE_TRUSTEE 0
#define TRUSTEE_IS_SID 0
#define TRUSTEE_IS_WELL_KNOWN_GROUP 5
#define STATUS_SUCCESS 0

/* The calls the stand-in has: shim.cpp hands them over. */
#define RegOpenKeyExA shim_RegOpenKeyExA
#define RegCreateKeyExA shim_RegCreateKeyExA
#define RegQueryValueExA shim_RegQueryValueExA
#define RegSetValueExA shim_RegSetValueExA
#define RegDeleteKeyA shim_RegDeleteKeyA
#define RegDeleteValueA shim_RegDeleteValueA
#define RegEnumKeyExA shim_RegEnumKeyExA
#define RegCloseKey shim_RegCloseKey
#define GetLastError shim_GetLastError
#define SetLastError shim_SetLastError
LONG RegOpenKeyExA(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
LONG RegCreateKeyExA(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                     LPDWORD);
LONG RegQueryValueExA(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
LONG RegSetValueExA(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
LONG RegDeleteKeyA(HKEY, LPCSTR);
LONG RegDeleteValueA(HKEY, LPCSTR);
LONG RegEnumKeyExA(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPSTR, LPDWORD, void*);
LONG RegCloseKey(HKEY);
DWORD GetLastError(void);
void SetLastError(DWORD);

/* Calls it lacks: stubs. */
#define RegOpenKeyA shim_RegOpenKeyA
#define RegCreateKeyA shim_RegCreateKeyA
#define RegEnumKeyA shim_RegEnumKeyA
#define RegEnumValueA shim_RegEnumValueA
#define RegFlushKey shim_RegFlushKey
#define RegQueryValueA shim_RegQueryValueA
#define RegSetValueA shim_RegSetValueA
#define RegOpenKeyExW shim_RegOpenKeyExW
#define RegQueryValueExW shim_RegQueryValueExW
#define RegQueryValueW shim_RegQueryValueW
#define RegSetValueExW shim_RegSetValueExW
#define RegSetValueW shim_RegSetValueW
#define RegSetKeySecurity shim_RegSetKeySecurity
#define RegSetKeyValue shim_RegSetKeyValue
#define AllocateAndInitializeSid shim_AllocateAndInitializeSid
#define FreeSid shim_FreeSid
#define InitializeSecurityDescriptor shim_InitializeSecurityDescriptor
#define SetSecurityDescriptorDacl shim_SetSecurityDescriptorDacl
#define SetEntriesInAclA shim_SetEntriesInAclA
#define LocalFree shim_LocalFree
#define SetEnvironmentVariableA shim_SetEnvironmentVariableA
#define GetProcessHeap shim_GetProcessHeap
#define HeapAlloc shim_HeapAlloc
#define HeapFree shim_HeapFree
#define GetModuleHandleA shim_GetModuleHandleA
#define GetProcAddress shim_GetProcAddress
#define lstrlenA shim_lstrlenA
#define lstrcmpA strcmp
#define GetVersion shim_GetVersion
#define wcscpy shim_wcscpy
#define RegEnumValueW shim_RegEnumValueW
#define lstrlenW shim_lstrlenW
#define lstrcmpW shim_lstrcmpW
LONG RegOpenKeyA(HKEY, LPCSTR, PHKEY);
LONG RegCreateKeyA(HKEY, LPCSTR, PHKEY);
LONG RegEnumKeyA(HKEY, DWORD, LPSTR, DWORD);
LONG RegEnumValueA(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
LONG RegEnumValueW(HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
WCHAR* wcscpy(WCHAR*, const WCHAR*);
LONG RegFlushKey(HKEY);
LONG RegQueryValueA(HKEY, LPCSTR, LPSTR, LONG*);
LONG RegSetValueA(HKEY, LPCSTR, DWORD, LPCSTR, DWORD);
LONG RegOpenKeyExW(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
LONG RegQueryValueExW(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
LONG RegQueryValueW(HKEY, LPCWSTR, LPWSTR, LONG*);
LONG RegSetValueExW(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
LONG RegSetValueW(HKEY, LPCWSTR, DWORD, LPCWSTR, DWORD);
LONG RegSetKeySecurity(HKEY, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR);
LONG RegSetKeyValue(HKEY, LPCSTR, LPCSTR, DWORD, const void*, DWORD);
BOOL AllocateAndInitializeSid(SID_IDENTIFIER_AUTHORITY*, BYTE, DWORD, DWORD, DWORD, DWORD, DWORD,
                              DWORD, DWORD, DWORD, PSID*);
void* FreeSid(PSID);
BOOL InitializeSecurityDescriptor(void*, DWORD);
BOOL SetSecurityDescriptorDacl(void*, BOOL, PACL, BOOL);
DWORD SetEntriesInAclA(ULONG, EXPLICIT_ACCESSA*, PACL, PACL*);
HLOCAL LocalFree(HLOCAL);
BOOL SetEnvironmentVariableA(LPCSTR, LPCSTR);
/* Helpers, not registry calls. */
HANDLE GetProcessHeap(void);
void* HeapAlloc(HANDLE, DWORD, size_t);
BOOL HeapFree(HANDLE, DWORD, void*);
HMODULE GetModuleHandleA(LPCSTR);
void* GetProcAddress(HMODULE, LPCSTR);
int lstrlenA(LPCSTR);
int lstrlenW(LPCWSTR);
int lstrcmpW(LPCWSTR, LPCWSTR);

/* wine/test.h */
extern const char* shim_file;
extern int shim_line;
int shim_ok(int condition, const char* format, ...);
void shim_begin_test(void);
DWORD GetVersion(void);
void shim_trace(const char* format, ...);
void shim_skip(const char* format, ...);
const char* wine_dbg_sprintf(const char* format, ...);
const char* debugstr_an(const char* s, int n);
const char* wine_dbgstr_a(const char* s);
const char* wine_dbgstr_wn(const WCHAR* s, int n);
const char* wine_dbgstr_w(const WCHAR* s);
#define debugstr_a wine_dbgstr_a
#define debugstr_w wine_dbgstr_w
#define ok_(file, line) (shim_file = (file), shim_line = (line), 0) ? (void)0 : (void)shim_ok
#define ok ok_(__FILE__, __LINE__)
#define trace shim_trace
#define skip shim_skip
#define win_skip shim_skip
#define todo_wine
#define todo_wine_if(x)
#define broken(x) (x)
#define START_TEST(name) void shim_unused_##name(void)
#endif
