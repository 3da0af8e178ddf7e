// The console layer on Windows: the console API on a console, plain text
// when redirected, MessageBoxW for the warning box and NOTEPAD for printing.
//
// The program works in UTF-8; the system's wide calls take UTF-16. At a
// console the text goes through ReadConsoleW and WriteConsoleW, so what is
// typed and shown does not depend on the console's code page; pipes and
// files get the program's bytes as they are.
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
#include <process.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "console/console.h"
#include "utf8/utf8.h"

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

enum {
    TEXT_CELL = 1024,   // the longest text converted in one piece
    TYPED_CHUNK = 256,  // UTF-16 units taken from the console per read
    UTF8_PER_UNIT = 3,  // UTF-8 bytes one UTF-16 unit can need
    PUMP_CHUNK = 4096,  // bytes the output pump takes per read
    PUMP_HELD = 8,      // room for what one read leaves to the next
    CTRL_Z = 0x1A,      // typed at a console, it ends the input
    WIDE_PATH = 4096,
    MAX_TEMP_TRIES = 100,
    REPLACE_TRIES = 50,  // 50 tries 20 ms apart: about a second
    REPLACE_PAUSE_MS = 20
};

// What the pump is asked in the output stream, after a NUL byte: clear the
// screen, say when everything before is on the screen, or (any other byte)
// take that colour scheme.
enum { CLEAR_REQUEST = 'c', MARK_REQUEST = 'm' };

// UTF-8 to UTF-16, `out` always terminated. Returns DONE, or CALL_FAILED
// when the text does not fit in `size` units.
static int widen(const char* utf8, wchar_t* out, int size) {
    if (size <= 0) return CALL_FAILED;
    if (MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out, size) > 0) return DONE;
    out[0] = L'\0';
    return CALL_FAILED;
}

// UTF-16 to UTF-8, cut to `size` - 1 bytes at a whole character and always
// terminated. Returns DONE when all of it fit, else CALL_FAILED.
static int narrow(const wchar_t* wide, char* out, size_t size) {
    char utf8[TEXT_CELL * UTF8_PER_UNIT];
    if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, (int)sizeof utf8, NULL, NULL) <= 0)
        utf8[0] = '\0';
    return utf8_copy(out, size, utf8) && utf8[0] != '\0' ? DONE : CALL_FAILED;
}

static HANDLE handle_of(FILE* f) {
    int fd = _fileno(f);
    if (fd < 0) return INVALID_HANDLE_VALUE;
    return (HANDLE)_get_osfhandle(fd);
}

// When standard output is a console, console_start puts a pipe in its place
// and a thread of ours, the only writer to the console, writes what comes
// through it with WriteConsoleW. Clearing and colours travel in the same
// stream, so they happen exactly between the texts around them.
static HANDLE console_out = INVALID_HANDLE_VALUE;
static HANDLE pump_read = NULL;
static HANDLE pump_thread = NULL;
static HANDLE pump_reached_mark = NULL;

static int is_pumped(FILE* f) {
    return pump_thread != NULL && _fileno(f) == _fileno(stdout);
}

// The console behind `f`, or INVALID_HANDLE_VALUE when `f` is a pipe, a file
// or NUL: a console answers GetConsoleMode, they do not.
static HANDLE console_of(FILE* f) {
    if (is_pumped(f)) return console_out;
    DWORD mode;
    HANDLE h = handle_of(f);
    return (h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode)) ? h : INVALID_HANDLE_VALUE;
}

static int windows_is_terminal(FILE* f) {
    return console_of(f) != INVALID_HANDLE_VALUE;
}

static void remember_attributes(HANDLE out) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (saved_attributes_valid || !GetConsoleScreenBufferInfo(out, &info)) return;
    saved_attributes = info.wAttributes;
    saved_attributes_valid = 1;
}

// Clears the whole screen buffer as "cls" does, or colours all of it as
// "color" does, so the text already shown takes the new colours too.
static void perform(HANDLE h, unsigned char request) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(h, &info)) return;
    DWORD cells = (DWORD)info.dwSize.X * (DWORD)info.dwSize.Y;
    COORD origin = {0, 0};
    DWORD written;
    if (request == CLEAR_REQUEST) {
        FillConsoleOutputCharacterW(h, L' ', cells, origin, &written);
        FillConsoleOutputAttribute(h, info.wAttributes, cells, origin, &written);
        SetConsoleCursorPosition(h, origin);
        return;
    }
    WORD attributes = request == CONSOLE_YELLOW ? kYellowOnBlack : kRedOnBlack;
    remember_attributes(h);
    colour_changed = 1;
    SetConsoleTextAttribute(h, attributes);
    FillConsoleOutputAttribute(h, attributes, cells, origin, &written);
}

static void write_console_utf8(const char* text, size_t len) {
    wchar_t wide[PUMP_CHUNK + PUMP_HELD];
    if (len == 0) return;
    int units = MultiByteToWideChar(CP_UTF8, 0, text, (int)len, wide, PUMP_CHUNK + PUMP_HELD);
    DWORD written = 0;
    if (units > 0) WriteConsoleW(console_out, wide, (DWORD)units, &written, NULL);
}

// Writes each read at once, so a prompt is on the screen before its answer
// is read. The end of a character split by a read, or a NUL whose request
// comes in the next read, is kept for the next one.
static DWORD WINAPI pump_output(LPVOID unused) {
    (void)unused;
    char bytes[PUMP_CHUNK + PUMP_HELD];
    size_t held = 0;
    DWORD got = 0;
    while (ReadFile(pump_read, bytes + held, PUMP_CHUNK, &got, NULL) && got > 0) {
        const size_t end = held + got;
        size_t start = 0;
        for (size_t k = 0; k < end; k++) {
            if (bytes[k] != '\0') continue;
            write_console_utf8(bytes + start, k - start);
            start = k;
            if (k + 1 == end) break;
            const unsigned char request = (unsigned char)bytes[++k];
            if (request == MARK_REQUEST) {
                SetEvent(pump_reached_mark);
            } else {
                perform(console_out, request);
            }
            start = k + 1;
        }
        size_t whole = start;
        if (whole == end || bytes[whole] != '\0') whole += utf8_whole(bytes + start, end - start);
        write_console_utf8(bytes + start, whole - start);
        held = end - whole;
        memmove(bytes, bytes + whole, held);
    }
    return 0;
}

// Standard output becomes the pump's pipe, in the text mode it had. Any
// step that fails leaves standard output on the console as it was.
static void start_output_pump(void) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE self = GetCurrentProcess();
    DWORD mode;
    HANDLE pump_write = NULL;
    if (!GetConsoleMode(out, &mode) || !CreatePipe(&pump_read, &pump_write, NULL, 0)) return;
    int fd = _open_osfhandle((intptr_t)pump_write, _O_TEXT);
    pump_reached_mark = CreateEventW(NULL, FALSE, FALSE, NULL);
    // _dup2 closes the console handle of standard output: the pump needs a copy.
    if (fd < 0 || pump_reached_mark == NULL ||
        !DuplicateHandle(self, out, self, &console_out, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return;
    pump_thread = CreateThread(NULL, 0, pump_output, NULL, 0, NULL);
    fflush(stdout);
    if (pump_thread == NULL || _dup2(fd, _fileno(stdout)) != 0) {
        pump_thread = NULL;
        console_out = out;
    }
    // Once the last copy of the pipe's end is closed, a waiting pump ends.
    _close(fd);
}

// The temporary file of a save under way, for the control handler to
// remove: kept ready as a wide name, so the handler only deletes.
static wchar_t temp_path[WIDE_PATH];
static volatile LONG temp_kept = 0;

static void restore_now(void) {
    if (colour_changed && saved_attributes_valid) {
        SetConsoleTextAttribute(console_out, saved_attributes);
        colour_changed = 0;
    }
    if (saved_input_mode_valid) SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), saved_input_mode);
}

// Everything written so far must be on the screen before the colours are
// put back and the process ends: a mark goes down the pipe behind it, and
// the pump says when it reaches it (or ends).
void console_restore(void) {
    fflush(stdout);
    DWORD written = 0;
    const char mark[] = {'\0', MARK_REQUEST};
    if (pump_thread != NULL && WriteFile(handle_of(stdout), mark, sizeof mark, &written, NULL)) {
        HANDLE either[] = {pump_reached_mark, pump_thread};
        WaitForMultipleObjects(2, either, FALSE, INFINITE);
    }
    restore_now();
}

// Ctrl+C, Ctrl+Break and closing the window: put the console back and drop
// a save's temporary file, then let the default handler end the process
// with its usual status.
static BOOL WINAPI on_console_event(DWORD event) {
    (void)event;
    restore_now();
    if (temp_kept) DeleteFileW(temp_path);
    return FALSE;
}

void console_start(void) {
    start_output_pump();
    remember_attributes(console_out);
    if (GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &saved_input_mode))
        saved_input_mode_valid = 1;
    atexit(console_restore);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

// Through the pump a request goes in the stream after a NUL byte, which the
// program's text never holds; at a console of its own the text written so
// far goes first.
static void ask_console(FILE* out, unsigned char request) {
    if (is_pumped(out)) {
        fputc('\0', out);
        fputc(request, out);
        return;
    }
    HANDLE h = console_of(out);
    if (h == INVALID_HANDLE_VALUE) return;
    fflush(out);
    perform(h, request);
}

static void windows_clear_terminal(FILE* out) {
    ask_console(out, CLEAR_REQUEST);
}

static void windows_set_colour(FILE* out, int scheme) {
    ask_console(out, (unsigned char)scheme);
}

// Shift, Ctrl, Alt and the lock keys alone are not "a key" for the wait.
static int is_modifier(WORD key) {
    return key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU || key == VK_CAPITAL ||
           key == VK_NUMLOCK || key == VK_SCROLL || key == VK_LWIN || key == VK_RWIN;
}

// One key press from the console's input queue, unechoed. Releases, mouse
// and focus events (among them the release of the Enter that ended the
// menu line) are passed over.
static int windows_read_terminal_key(FILE* in) {
    HANDLE h = handle_of(in);
    for (;;) {
        INPUT_RECORD record;
        DWORD got = 0;
        if (!ReadConsoleInputW(h, &record, 1, &got)) return INPUT_END;
        if (got == 1 && record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown &&
            !is_modifier(record.Event.KeyEvent.wVirtualKeyCode))
            return DONE;
    }
}

// What was typed at the console, as UTF-8: one line of ReadConsoleW at a
// time, handed out byte by byte. `typed_ended` is set once Ctrl-Z was read.
static char typed[TYPED_CHUNK * UTF8_PER_UNIT + 1];
static size_t typed_next = 0, typed_end = 0;
static int typed_ended = 0;
static wchar_t typed_high_surrogate = 0;

// A high surrogate at the end of one read waits for its pair in the next;
// CR LF becomes LF as the C library's text mode makes it; Ctrl-Z ends the
// input there, as it does for the C library.
static void read_console_line(HANDLE h) {
    wchar_t wide[TYPED_CHUNK + 1];
    DWORD got = 0;
    int start = typed_high_surrogate != 0;
    wide[0] = typed_high_surrogate;
    typed_high_surrogate = 0;
    if (!ReadConsoleW(h, wide + start, TYPED_CHUNK - start, &got, NULL) || got == 0) {
        typed_ended = 1;
        return;
    }
    DWORD units = 0;
    for (DWORD k = 0; k < got + start; k++) {
        if (wide[k] == CTRL_Z) {
            typed_ended = 1;
            break;
        }
        if (wide[k] == L'\r' && k + 1 < got + start && wide[k + 1] == L'\n') continue;
        wide[units++] = wide[k];
    }
    if (!typed_ended && units > 0 && IS_HIGH_SURROGATE(wide[units - 1]))
        typed_high_surrogate = wide[--units];
    int len = units == 0 ? 0
                         : WideCharToMultiByte(CP_UTF8, 0, wide, (int)units, typed,
                                               (int)sizeof typed - 1, NULL, NULL);
    typed_next = 0;
    typed_end = len > 0 ? (size_t)len : 0;
}

// Only standard input is ever a console, and console_start asked once: read
// byte by byte, a saved file would otherwise cost a call to the system a
// byte.
static int reads_console(const FILE* in) {
    return in == stdin && saved_input_mode_valid;
}

static int windows_read_byte(FILE* in) {
    if (!reads_console(in)) return getc(in);
    while (typed_next == typed_end) {
        if (typed_ended) return EOF;
        read_console_line(handle_of(in));
    }
    return (unsigned char)typed[typed_next++];
}

static void windows_unread_byte(int c, FILE* in) {
    if (!reads_console(in)) {
        ungetc(c, in);
    } else if (c != EOF && typed_next > 0) {
        typed[--typed_next] = (char)c;
    }
}

static void windows_drop_typed_keys(FILE* in) {
    typed_next = typed_end;
    FlushConsoleInputBuffer(handle_of(in));
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
    static wchar_t wide_text[TEXT_CELL];
    static wchar_t wide_caption[TEXT_CELL];
    if (widen(text, wide_text, TEXT_CELL) != DONE ||
        widen(caption, wide_caption, TEXT_CELL) != DONE)
        return CALL_FAILED;
    int answer = MessageBoxW(NULL, wide_text, wide_caption, MB_OK | MB_ICONWARNING);
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
        if (!ReadConsoleInputW(in, &record, 1, &got) || got == 0) break;
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

// The system editor prints the file on the default printer and ends. It
// is started as a program of its own, never through a shell, and the name
// goes to it in quotes, whole.
static int windows_print(const char* path) {
    wchar_t quoted[WIDE_PATH + 2] = L"\"";
    if (widen(path, quoted + 1, WIDE_PATH) != DONE) return CALL_FAILED;
    wcscat(quoted, L"\"");
    return _wspawnlp(_P_WAIT, L"NOTEPAD", L"NOTEPAD", L"/P", quoted, NULL) == 0 ? DONE
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
// gets the system's own line ends. FILE_SHARE_DELETE lets the control
// handler remove it while it is still open.
static FILE* windows_create_temp_file(const char* beside, char* path, size_t size) {
    static unsigned count = 0;
    for (int tries = 0; tries < MAX_TEMP_TRIES; tries++) {
        int len = snprintf(path, size, "%s.%lu-%u.tmp", beside,
                           (unsigned long)GetCurrentProcessId(), ++count);
        temp_kept = 0;
        if (len < 0 || (size_t)len >= size || widen(path, temp_path, WIDE_PATH) != DONE)
            return NULL;
        HANDLE h = CreateFileW(temp_path, GENERIC_WRITE, FILE_SHARE_DELETE, NULL, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, NULL);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return NULL;
        }
        temp_kept = 1;
        FILE* file = stream_of(h, _O_WRONLY | _O_TEXT, "w");
        if (file == NULL) {
            temp_kept = 0;
            DeleteFileW(temp_path);
        }
        return file;
    }
    return NULL;
}

static void windows_drop_temp_file(const char* path) {
    wchar_t wide[WIDE_PATH];
    temp_kept = 0;
    if (widen(path, wide, WIDE_PATH) == DONE) DeleteFileW(wide);
}

// A folder cannot be opened as a file at all, so it is told apart first;
// once open, only a file on a disk is read, never a device (CON, NUL, a
// serial port) or a pipe, which could wait for ever. Sharing everything
// lets another program replace or remove the file while it is read.
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

// Windows refuses to replace a file another program holds open (another
// Kelvra loading it, a virus scanner, an indexer), so a refusal is tried
// again for about a second. MoveFileExW replaces the old file in one step,
// as a rename does; a folder at the name is never replaced.
static int windows_replace_file(const char* from, const char* to) {
    wchar_t wide_from[WIDE_PATH];
    wchar_t wide_to[WIDE_PATH];
    if (widen(from, wide_from, WIDE_PATH) != DONE || widen(to, wide_to, WIDE_PATH) != DONE)
        return CALL_FAILED;
    for (int tries = 1;; tries++) {
        const DWORD old = GetFileAttributesW(wide_to);
        if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_DIRECTORY)) return CALL_FAILED;
        if (MoveFileExW(wide_from, wide_to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            temp_kept = 0;
            return DONE;
        }
        DWORD error = GetLastError();
        if (tries == REPLACE_TRIES ||
            (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED))
            return CALL_FAILED;
        Sleep(REPLACE_PAUSE_MS);
    }
}

// A variable longer than TEXT_CELL units reads as unset.
static int windows_env(const char* name, char* value, size_t size) {
    wchar_t wide_name[TEXT_CELL];
    wchar_t wide[TEXT_CELL];
    DWORD len = widen(name, wide_name, TEXT_CELL) == DONE
                    ? GetEnvironmentVariableW(wide_name, wide, TEXT_CELL)
                    : 0;
    if (len == 0 || len >= TEXT_CELL) wide[0] = L'\0';
    return narrow(wide, value, size);
}

static int windows_account_name(char* name, size_t size) {
    wchar_t wide[TEXT_CELL];
    DWORD len = TEXT_CELL;
    if (!GetUserNameW(wide, &len)) wide[0] = L'\0';
    return narrow(wide, name, size);
}

// Valid UTF-8 stays; any other line is read in the OEM code page.
static void windows_legacy_to_utf8(char* line, size_t size) {
    wchar_t wide[TEXT_CELL];
    if (size == 0 || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line, -1, NULL, 0) > 0)
        return;
    if (MultiByteToWideChar(GetOEMCP(), 0, line, -1, wide, TEXT_CELL) > 0)
        (void)narrow(wide, line, size);
}

// clang-format off
static const Console kSystem = {
    windows_is_terminal, windows_clear_terminal, windows_set_colour, windows_read_terminal_key,
    windows_drop_typed_keys, windows_read_byte, windows_unread_byte, windows_local_time,
    windows_box, windows_wait, windows_print, windows_create_temp_file, windows_drop_temp_file,
    windows_open_file, windows_sync_file, windows_replace_file, windows_env, windows_account_name,
    windows_legacy_to_utf8, '\\',
};
// clang-format on

const int console_on_windows = 1;

const Console* console_system(void) {
    return &kSystem;
}
