// The console layer on Windows: the console API on a console, plain text
// when redirected, MessageBoxA for the warning box and NOTEPAD for printing.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: the headers below rely on its definitions.
#include <fcntl.h>
#include <io.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "console/console.h"

// What console_restore must undo. The control handler runs on a thread of
// its own, so the flags are plain words written in one step.
static volatile LONG colour_changed = 0;
static WORD saved_attributes = 0;
static volatile LONG saved_attributes_valid = 0;
static DWORD saved_input_mode = 0;
static volatile LONG saved_input_mode_valid = 0;

// "color 04" and "color 06": dark red or dark yellow text on black.
static const WORD kRedOnBlack = FOREGROUND_RED;
static const WORD kYellowOnBlack = FOREGROUND_RED | FOREGROUND_GREEN;

static HANDLE handle_of(FILE* f) {
    int fd = _fileno(f);
    if (fd < 0) return INVALID_HANDLE_VALUE;
    return (HANDLE)_get_osfhandle(fd);
}

// A console answers GetConsoleMode; pipes, files and NUL do not.
static int windows_is_terminal(FILE* f) {
    DWORD mode;
    HANDLE h = handle_of(f);
    return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

static void remember_attributes(HANDLE out) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (saved_attributes_valid || !GetConsoleScreenBufferInfo(out, &info)) return;
    saved_attributes = info.wAttributes;
    saved_attributes_valid = 1;
}

static void restore_now(void) {
    if (colour_changed && saved_attributes_valid) {
        SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), saved_attributes);
        colour_changed = 0;
    }
    if (saved_input_mode_valid) SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), saved_input_mode);
}

void console_restore(void) {
    fflush(stdout);
    restore_now();
}

// Ctrl+C, Ctrl+Break and closing the window: put the console back, then let
// the default handler end the process with its usual status.
static BOOL WINAPI on_console_event(DWORD event) {
    (void)event;
    restore_now();
    return FALSE;
}

void console_start(void) {
    remember_attributes(GetStdHandle(STD_OUTPUT_HANDLE));
    DWORD mode;
    if (GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) {
        saved_input_mode = mode;
        saved_input_mode_valid = 1;
    }
    atexit(console_restore);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

// Fills the whole screen buffer with blanks or with one colour, as "cls"
// and "color" do.
static void fill_screen(HANDLE h, int blanks, WORD attributes) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(h, &info)) return;
    DWORD cells = (DWORD)info.dwSize.X * (DWORD)info.dwSize.Y;
    COORD origin = {0, 0};
    DWORD written;
    if (blanks) {
        FillConsoleOutputCharacterA(h, ' ', cells, origin, &written);
        FillConsoleOutputAttribute(h, info.wAttributes, cells, origin, &written);
        SetConsoleCursorPosition(h, origin);
    } else {
        FillConsoleOutputAttribute(h, attributes, cells, origin, &written);
    }
}

static void windows_cls(FILE* out) {
    if (!windows_is_terminal(out)) {
        fputc('\f', out);
        return;
    }
    fflush(out);
    fill_screen(handle_of(out), 1, 0);
}

// Like "color", the text already on the screen takes the new colours too.
static void windows_color(FILE* out, int scheme) {
    const char* no_color = getenv("NO_COLOR");
    if (!windows_is_terminal(out) || (no_color != NULL && no_color[0] != '\0')) return;
    fflush(out);
    HANDLE h = handle_of(out);
    WORD attributes = scheme == CONSOLE_YELLOW ? kYellowOnBlack : kRedOnBlack;
    remember_attributes(h);
    colour_changed = 1;
    SetConsoleTextAttribute(h, attributes);
    fill_screen(h, 0, attributes);
}

// Shift, Ctrl, Alt and the lock keys alone are not "a key" for the wait.
static int is_modifier(WORD key) {
    return key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU || key == VK_CAPITAL ||
           key == VK_NUMLOCK || key == VK_SCROLL || key == VK_LWIN || key == VK_RWIN;
}

// One key press from the console's input queue, unechoed. Releases, mouse
// and focus events (among them the release of the Enter that ended the
// menu line) are passed over. Returns 0 when the console cannot be read.
static int read_single_key(HANDLE in) {
    for (;;) {
        INPUT_RECORD record;
        DWORD got = 0;
        if (!ReadConsoleInputA(in, &record, 1, &got)) return 0;
        if (got == 1 && record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown &&
            !is_modifier(record.Event.KeyEvent.wVirtualKeyCode))
            return 1;
    }
}

// Reads up to and including the next line end. Returns DONE, or INPUT_END
// at end of input with nothing read.
static int consume_line(FILE* in) {
    int c = getc(in);
    if (c == EOF) return INPUT_END;
    while (c != EOF && c != '\n') c = getc(in);
    return DONE;
}

// From a pipe the key-wait takes one line, so a scripted session is a text
// file with an empty line after each command.
static int windows_read_key(FILE* in) {
    if (!windows_is_terminal(in)) return consume_line(in);
    return read_single_key(handle_of(in)) ? DONE : INPUT_END;
}

static void windows_drop_typed_keys(FILE* in) {
    if (windows_is_terminal(in)) FlushConsoleInputBuffer(handle_of(in));
}

static void windows_local_time(struct tm* now) {
    time_t t = time(NULL);
    // Fails only for times before 1970, which time() does not give.
    (void)localtime_s(now, &t);
}

// The style is a warning icon with a single OK button (MB_ICONWARNING |
// MB_OK, 0x30). Closing the box with its close button also answers IDOK, so
// any other answer means no box came up (0 on Windows, -1 under Wine with no
// display, in a session without a desktop).
static int windows_box(const char* text, const char* caption) {
    fflush(NULL);
    int answer = MessageBoxA(NULL, text, caption, MB_OK | MB_ICONWARNING);
    return answer == IDOK ? DONE : CALL_FAILED;
}

// Takes every event waiting in the console's queue. Returns 1 when one of
// them was a press of Enter.
static int drain_for_enter(HANDLE in) {
    int enter = 0;
    DWORD waiting = 0;
    while (GetNumberOfConsoleInputEvents(in, &waiting) && waiting > 0) {
        INPUT_RECORD record;
        DWORD got = 0;
        if (!ReadConsoleInputA(in, &record, 1, &got) || got == 0) break;
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown &&
            record.Event.KeyEvent.wVirtualKeyCode == VK_RETURN)
            enter = 1;
    }
    return enter;
}

// Nonzero when input from a pipe or a file has ended. A pipe still open
// with nothing in it has not: more may come. Otherwise one character tells,
// and is put back for the prompts that follow.
static int redirected_input_ended(FILE* in) {
    HANDLE h = handle_of(in);
    DWORD waiting = 0;
    if (GetFileType(h) == FILE_TYPE_PIPE && PeekNamedPipe(h, NULL, 0, NULL, &waiting, NULL))
        return 0;
    int c = getc(in);
    if (c == EOF) return 1;
    ungetc(c, in);
    return 0;
}

// At a console the wait also listens for Enter, which asks to leave the
// mode at once. From a pipe or a file it ends at once when input has ended,
// and is otherwise a plain sleep that leaves the input for later prompts.
static int windows_wait(int ms, FILE* in) {
    if (ms < 0) ms = 0;
    if (!windows_is_terminal(in)) {
        if (redirected_input_ended(in)) return INPUT_END;
        Sleep((DWORD)ms);
        return DONE;
    }
    HANDLE h = handle_of(in);
    const ULONGLONG end = GetTickCount64() + (ULONGLONG)ms;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        DWORD left = (DWORD)(end - now);
        DWORD woke = WaitForSingleObject(h, left);
        if (woke == WAIT_OBJECT_0) {
            if (drain_for_enter(h)) return USER_LEFT;
        } else if (woke != WAIT_TIMEOUT) {
            Sleep(left);
            break;
        }
    }
    return DONE;
}

// The system editor prints the file on the default printer and ends; the
// command line goes to CreateProcess as it is, never through a shell.
static int windows_print(const char* path) {
    fflush(NULL);
    char command[MAX_PATH + sizeof "NOTEPAD /P \"\""];
    int len = snprintf(command, sizeof command, "NOTEPAD /P %s", path);
    if (len < 0 || (size_t)len >= sizeof command) return CALL_FAILED;
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return CALL_FAILED;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    if (!GetExitCodeProcess(process.hProcess, &code)) code = 1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0 ? DONE : CALL_FAILED;
}

enum { WIDE_PATH = 4096, MAX_TEMP_TRIES = 100 };

// Names inside the program are UTF-8; the wide calls take UTF-16. Returns
// DONE, or CALL_FAILED when `text` is not UTF-8 or does not fit.
static int widen(const char* text, wchar_t* wide, int size) {
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide, size) > 0
               ? DONE
               : CALL_FAILED;
}

// A C stream over an open handle; the handle is closed when it cannot be.
static FILE* stream_of(HANDLE h, int flags, const char* mode) {
    int fd = _open_osfhandle((intptr_t)h, flags);
    if (fd < 0) {
        CloseHandle(h);
        return NULL;
    }
    FILE* file = _fdopen(fd, mode);
    if (file == NULL) _close(fd);
    return file;
}

// CREATE_NEW creates the file only if the name is free; a link at the name
// makes it fail rather than be followed. The name takes the process and a
// count, tried again while another file holds it. Text mode, so the file
// gets the system's own line ends.
static FILE* windows_create_temp_file(const char* beside, char* path, size_t size) {
    static unsigned count = 0;
    for (int tries = 0; tries < MAX_TEMP_TRIES; tries++) {
        int len = snprintf(path, size, "%s.%lu-%u.tmp", beside,
                           (unsigned long)GetCurrentProcessId(), ++count);
        wchar_t wide[WIDE_PATH];
        if (len < 0 || (size_t)len >= size || widen(path, wide, WIDE_PATH) != DONE) return NULL;
        HANDLE h =
            CreateFileW(wide, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return NULL;
        }
        FILE* file = stream_of(h, _O_WRONLY | _O_TEXT, "w");
        if (file == NULL) DeleteFileW(wide);
        return file;
    }
    return NULL;
}

// A folder cannot be opened as a file at all, so it is told apart first;
// once open, only a file on a disk is read, never a device (CON, NUL, a
// serial port) or a pipe, which could wait for ever.
static int windows_open_file(const char* path, FILE** file) {
    wchar_t wide[WIDE_PATH];
    if (widen(path, wide, WIDE_PATH) != DONE) return CALL_FAILED;
    DWORD attributes = GetFileAttributesW(wide);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return NOT_A_FILE;
    HANDLE h =
        CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) return CALL_FAILED;
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return NOT_A_FILE;
    }
    *file = stream_of(h, _O_RDONLY | _O_BINARY, "rb");
    return *file != NULL ? DONE : CALL_FAILED;
}

static int windows_sync_file(FILE* file) {
    if (fflush(file) != 0) return CALL_FAILED;
    return _commit(_fileno(file)) == 0 ? DONE : CALL_FAILED;
}

static int windows_replace_file(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? DONE
                                                                                     : CALL_FAILED;
}

static const char* non_empty_env(const char* name) {
    const char* value = getenv(name);
    return (value != NULL && value[0] != '\0') ? value : NULL;
}

static int windows_home_folder(char* path, size_t size) {
    const char* base = non_empty_env("USERPROFILE");
    if (base == NULL) return CALL_FAILED;
    int len = snprintf(path, size, "%s", base);
    return (len >= 0 && (size_t)len < size) ? DONE : CALL_FAILED;
}

static const Console kSystem = {
    windows_cls,
    windows_color,
    windows_is_terminal,
    windows_read_key,
    windows_drop_typed_keys,
    windows_local_time,
    windows_box,
    windows_wait,
    windows_print,
    windows_create_temp_file,
    windows_open_file,
    windows_sync_file,
    windows_replace_file,
    windows_home_folder,
    '\\',
};

const Console* console_system(void) {
    return &kSystem;
}

const char* console_user_name(void) {
    static char name[256];
    const char* found = non_empty_env("USERNAME");
    snprintf(name, sizeof name, "%s", found != NULL ? found : "");
    return name;
}
