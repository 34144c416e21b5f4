/* hold_open: holds a file open without sharing while it runs a command line, as a player the
 * setup cannot see (another session, a service account) holds the plug-in's DLL; prints the
 * command's exit code. scripts/check-release builds it and runs it under Wine.
 *
 *   hold_open.exe <file> <command line>
 *
 * The file stays open, shared with nobody, from before the command starts until it has ended.
 */
#include <windows.h>
#include <stdio.h>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: hold_open <file> <command line>\n");
        return 2;
    }
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "cannot open %ls (error %lu)\n", argv[1], GetLastError());
        return 2;
    }
    /* CreateProcessW may write into the command line: argv's strings are the program's own. */
    wchar_t *command = argv[2];
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessW(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fprintf(stderr, "cannot run %ls (error %lu)\n", command, GetLastError());
        return 2;
    }
    DWORD code = 0;
    /* The setup ends within a minute: a longer wait means it hangs on a dialog. */
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 259);
        printf("the command did not end\n");
    } else if (GetExitCodeProcess(process.hProcess, &code)) {
        printf("exit code while held: %lu\n", code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(file);
    return 0;
}
