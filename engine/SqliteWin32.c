/* SQLite as the Windows builds compile it (scripts/setup.sh): the amalgamation
 * from .deps/sqlite, with its wide-character system calls bound at run time.
 *
 * SQLite asks the system which family it runs on and takes the wide calls on
 * the NT family only. Windows 95 exports some of them as failing stubs and
 * lacks others (GetFileAttributesExW), and a missing import stops the program
 * before it starts, so none of them is imported: each is looked up in
 * kernel32 on its first call, which never comes on the 95/98 line. */
#include <windows.h>

#define QV_LATE_NAME(name) qvLate##name

/* A function of kernel32 with the given signature, failing with
 * ERROR_CALL_NOT_IMPLEMENTED and the result failed when kernel32 lacks it. */
#define QV_LATE(ret, name, params, args, failed)                                        \
    static ret WINAPI QV_LATE_NAME(name) params {                                       \
        typedef ret(WINAPI * Fn) params;                                                \
        static Fn fn;                                                                   \
        static int looked;                                                              \
        if (!looked) {                                                                  \
            fn = (Fn)GetProcAddress(GetModuleHandleA("kernel32.dll"), #name);           \
            looked = 1;                                                                 \
        }                                                                               \
        if (!fn) {                                                                      \
            SetLastError(ERROR_CALL_NOT_IMPLEMENTED);                                   \
            return failed;                                                              \
        }                                                                               \
        return fn args;                                                                 \
    }

QV_LATE(HANDLE, CreateFileW,
        (LPCWSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f, HANDLE g),
        (a, b, c, d, e, f, g), INVALID_HANDLE_VALUE)
QV_LATE(HANDLE, CreateFileMappingW, (HANDLE a, LPSECURITY_ATTRIBUTES b, DWORD c, DWORD d, DWORD e, LPCWSTR f),
        (a, b, c, d, e, f), NULL)
QV_LATE(HANDLE, CreateMutexW, (LPSECURITY_ATTRIBUTES a, BOOL b, LPCWSTR c), (a, b, c), NULL)
QV_LATE(BOOL, DeleteFileW, (LPCWSTR a), (a), FALSE)
QV_LATE(DWORD, FormatMessageW, (DWORD a, LPCVOID b, DWORD c, DWORD d, LPWSTR e, DWORD f, va_list* g),
        (a, b, c, d, e, f, g), 0)
QV_LATE(BOOL, GetDiskFreeSpaceW, (LPCWSTR a, LPDWORD b, LPDWORD c, LPDWORD d, LPDWORD e), (a, b, c, d, e),
        FALSE)
QV_LATE(BOOL, GetFileAttributesExW, (LPCWSTR a, GET_FILEEX_INFO_LEVELS b, LPVOID c), (a, b, c), FALSE)
QV_LATE(DWORD, GetFileAttributesW, (LPCWSTR a), (a), INVALID_FILE_ATTRIBUTES)
QV_LATE(DWORD, GetFullPathNameW, (LPCWSTR a, DWORD b, LPWSTR c, LPWSTR* d), (a, b, c, d), 0)
QV_LATE(DWORD, GetTempPathW, (DWORD a, LPWSTR b), (a, b), 0)
QV_LATE(BOOL, GetVersionExW, (LPOSVERSIONINFOW a), (a), FALSE)

/* Debug output only: nothing to report when it is missing. */
static void WINAPI qvLateOutputDebugStringW(LPCWSTR text) {
    typedef void(WINAPI * Fn)(LPCWSTR);
    static Fn fn;
    static int looked;
    if (!looked) {
        fn = (Fn)GetProcAddress(GetModuleHandleA("kernel32.dll"), "OutputDebugStringW");
        looked = 1;
    }
    if (fn) fn(text);
}

/* The names SQLite's table of system calls takes; windows.h, included above,
 * keeps the system's declarations, and SQLite's own include of it is empty. */
#define CreateFileW qvLateCreateFileW
#define CreateFileMappingW qvLateCreateFileMappingW
#define CreateMutexW qvLateCreateMutexW
#define DeleteFileW qvLateDeleteFileW
#define FormatMessageW qvLateFormatMessageW
#define GetDiskFreeSpaceW qvLateGetDiskFreeSpaceW
#define GetFileAttributesExW qvLateGetFileAttributesExW
#define GetFileAttributesW qvLateGetFileAttributesW
#define GetFullPathNameW qvLateGetFullPathNameW
#define GetTempPathW qvLateGetTempPathW
#define GetVersionExW qvLateGetVersionExW
#define OutputDebugStringW qvLateOutputDebugStringW

#include "sqlite3.c"
