// Test helper for tools/test-windows.sh, cross-built beside kelvra.exe, that
// reads back what a Windows user sees: waits up to 60 s for a message box,
// writes its caption and its text as UTF-8 lines on standard output, then
// presses its OK button; exits 1 when no box came. Run with the arguments
// /P FILE, as the printing command is, it stands in for Notepad: it adds its
// own path and FILE to printed.txt in the working directory, then writes a
// NUL, the bytes 6 and "c" and a line of text to its standard output, which
// must reach the console as they are, obeyed by nobody.
#include <stdio.h>
#include <windows.h>

static int stand_in_for_notepad(const wchar_t* file) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(NULL, self, MAX_PATH);
    FILE* log = _wfopen(L"printed.txt", L"a");
    if (log == NULL) return 1;
    fwprintf(log, L"%ls %ls\n", self, file);
    fclose(log);
    static const char kOutput[] =
        "\0\x06"
        "c impreso por el bloc de notas\n";
    fwrite(kOutput, 1, sizeof kOutput - 1, stdout);
    return 0;
}

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && lstrcmpW(argv[1], L"/P") == 0) return stand_in_for_notepad(argv[2]);
    for (int tries = 0; tries < 600; tries++, Sleep(100)) {
        // #32770 is the class of dialog boxes, message boxes among them. A
        // box is read once it is up: while it is being made its texts may
        // still be empty.
        HWND box = FindWindowW(L"#32770", NULL);
        wchar_t texts[2][1024];
        if (box == NULL || !IsWindowVisible(box) || GetWindowTextW(box, texts[0], 1024) <= 0)
            continue;
        GetDlgItemTextW(box, 0xFFFF, texts[1], 1024);  // the static control of a box's text
        for (const wchar_t* text : texts) {
            char bytes[4096];
            const int len =
                WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, NULL, NULL);
            bytes[len > 0 ? len - 1 : 0] = '\n';
            DWORD written = 0;
            WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes, len > 0 ? len : 1, &written, NULL);
        }
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(box, IDOK));
        return 0;
    }
    return 1;
}
