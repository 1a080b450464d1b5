/* Holds a file open the way an editor or a virus scanner may on Windows:
 * sharing nothing, so that another program's open of it fails with a
 * sharing violation. Says "held" once it has it, and lets it go after the
 * given number of seconds, or at once where it cannot open it.
 *   hold_file.exe FILE SECONDS */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        fputs("usage: hold_file.exe FILE SECONDS\n", stderr);
        return 2;
    }
    HANDLE file = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "cannot open: error %lu\n", GetLastError());
        return 1;
    }
    puts("held");
    fflush(stdout);
    Sleep((DWORD)_wtoi(argv[2]) * 1000);
    CloseHandle(file);
    return 0;
}
