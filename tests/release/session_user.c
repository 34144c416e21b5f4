/* A stand-in for wtsapi32.dll that says another user than the one running is signed in to the
 * session: scripts/check-release puts it where the uninstaller loads wtsapi32.dll from for one
 * run, to see what an uninstaller elevated as an administrator does. Answers WTSUserName and
 * WTSDomainName only (the domain is the computer's, as for a local account).
 */
#include <windows.h>
#include <wtsapi32.h>

static BOOL Answer(const wchar_t *text, LPWSTR *buffer, DWORD *bytes)
{
    DWORD size = (DWORD)((wcslen(text) + 1) * sizeof(wchar_t));
    LPWSTR copy = (LPWSTR)LocalAlloc(LMEM_FIXED, size);
    if (!copy) return FALSE;
    memcpy(copy, text, size);
    *buffer = copy;
    *bytes = size;
    return TRUE;
}

BOOL WINAPI WTSQuerySessionInformationW(HANDLE server, DWORD session, WTS_INFO_CLASS what,
                                        LPWSTR *buffer, DWORD *bytes)
{
    (void)server;
    (void)session;
    if (what == WTSUserName) return Answer(L"SignedInUser", buffer, bytes);
    if (what == WTSDomainName) {
        wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
        DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
        if (!GetComputerNameW(computer, &length)) return FALSE;
        return Answer(computer, buffer, bytes);
    }
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

void WINAPI WTSFreeMemory(PVOID memory)
{
    LocalFree(memory);
}
