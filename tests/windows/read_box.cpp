// Test helper for tools/test-windows.sh, cross-built beside kelvra.exe: waits
// up to 60 seconds for a message box, writes its caption and its text as
// UTF-8 lines to standard output, then presses its OK button. Exits 1 when
// no box came up.
#include <windows.h>

static void write_utf8_line(const wchar_t* text) {
    char bytes[4096];
    int len = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes - 1, NULL, NULL);
    if (len <= 0) len = 1;
    bytes[len - 1] = '\n';
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes, (DWORD)len, &written, NULL);
}

int main() {
    for (int tries = 0; tries < 600; tries++) {
        // #32770 is the class of dialog boxes, message boxes among them.
        HWND box = FindWindowW(L"#32770", NULL);
        wchar_t caption[1024];
        // A box is read once it is up: while it is being made its texts
        // may still be empty.
        if (box != NULL && IsWindowVisible(box) && GetWindowTextW(box, caption, 1024) > 0) {
            wchar_t text[1024];
            // 0xFFFF: the static control that holds a message box's text.
            GetDlgItemTextW(box, 0xFFFF, text, 1024);
            write_utf8_line(caption);
            write_utf8_line(text);
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         (LPARAM)GetDlgItem(box, IDOK));
            return 0;
        }
        Sleep(100);
    }
    return 1;
}
