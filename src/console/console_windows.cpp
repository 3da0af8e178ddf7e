// The console layer on Windows: the console API at a console, plain bytes
// when redirected, MessageBoxW for the warning box and the system's own
// Notepad for printing.
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
// Set once a write to a console failed: that output is lost.
static volatile LONG output_lost = 0;

// "color 04" and "color 06": dark red or dark yellow text on black.
static const WORD kRedOnBlack = FOREGROUND_RED;
static const WORD kYellowOnBlack = FOREGROUND_RED | FOREGROUND_GREEN;

enum {
    TEXT_CELL = 1024,   // the longest text converted in one piece
    TYPED_CHUNK = 256,  // UTF-16 units taken from the console per read
    UTF8_PER_UNIT = 3,  // UTF-8 bytes one UTF-16 unit can need
    CTRL_Z = 0x1A,      // typed at a console, it ends the input
    WIDE_PATH = 4096,
    MAX_TEMP_TRIES = 100,
    REPLACE_TRIES = 50,  // 50 tries 20 ms apart: about a second
    REPLACE_PAUSE_MS = 20
};

// UTF-8 to UTF-16, `out` always terminated. Returns DONE, or CALL_FAILED
// when the text does not fit in `size` units.
static int widen(const char* utf8, wchar_t* out, int size) {
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

// The console behind `f`, or INVALID_HANDLE_VALUE when `f` is a pipe, a file
// or NUL: a console answers GetConsoleMode, they do not.
static HANDLE console_of(FILE* f) {
    DWORD mode;
    HANDLE h = handle_of(f);
    return (h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode)) ? h : INVALID_HANDLE_VALUE;
}

int console_is_terminal(FILE* f) { return console_of(f) != INVALID_HANDLE_VALUE; }

// A console is written from the calling thread, in pieces that each end on
// a whole character, so nothing the program or a program it starts writes
// can come out of order. Nothing of a console's text passes through the C
// library's buffers.
int console_write(FILE* out, const char* text, size_t len) {
    HANDLE h = console_of(out);
    // A formatted write: the C library under Wine reports a failed fwrite
    // to a device (a full disk's stand-in) as done. The text holds no NUL.
    if (h == INVALID_HANDLE_VALUE)
        return fprintf(out, "%.*s", (int)len, text) == (int)len ? DONE : CALL_FAILED;
    wchar_t wide[TEXT_CELL];
    while (len > 0) {
        const size_t piece = len <= TEXT_CELL ? len : utf8_whole(text, TEXT_CELL);
        const int units = MultiByteToWideChar(CP_UTF8, 0, text, (int)piece, wide, TEXT_CELL);
        DWORD written = 0;
        if (units <= 0 || !WriteConsoleW(h, wide, (DWORD)units, &written, NULL)) {
            output_lost = 1;
            return CALL_FAILED;
        }
        text += piece;
        len -= piece;
    }
    return DONE;
}

int console_finish_output(FILE* out) {
    return fflush(out) == 0 && !ferror(out) && !output_lost ? DONE : CALL_FAILED;
}

// Gives every cell of the console's screen buffer `attributes`, and a blank
// too when `blank`, as "color" and "cls" do. Returns nothing to tell: a
// console that cannot be read is left as it is.
static void fill_screen(HANDLE h, int blank, WORD attributes) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(h, &info)) return;
    DWORD cells = (DWORD)info.dwSize.X * (DWORD)info.dwSize.Y;
    COORD origin = {0, 0};
    DWORD written;
    if (blank) {
        FillConsoleOutputCharacterW(h, L' ', cells, origin, &written);
        attributes = info.wAttributes;
        SetConsoleCursorPosition(h, origin);
    }
    FillConsoleOutputAttribute(h, attributes, cells, origin, &written);
}

void console_clear(FILE* out) {
    HANDLE h = console_of(out);
    if (h != INVALID_HANDLE_VALUE) fill_screen(h, 1, 0);
}

// The whole screen takes the colours, the text already shown too.
void console_set_colour(FILE* out, int scheme) {
    HANDLE h = console_of(out);
    if (h == INVALID_HANDLE_VALUE) return;
    const WORD attributes = scheme == CONSOLE_YELLOW ? kYellowOnBlack : kRedOnBlack;
    colour_changed = 1;
    SetConsoleTextAttribute(h, attributes);
    fill_screen(h, 0, attributes);
}

// The temporary file of a save under way, for the control handler to
// remove: kept ready as a wide name, so the handler only deletes.
static wchar_t temp_path[WIDE_PATH];
static volatile LONG temp_kept = 0;

void console_restore(void) {
    if (colour_changed && saved_attributes_valid) {
        SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), saved_attributes);
        colour_changed = 0;
    }
    if (saved_input_mode_valid) SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), saved_input_mode);
}

// Ctrl+C, Ctrl+Break and closing the window: put the console back and drop
// a save's temporary file, then let the default handler end the process
// with its usual status.
static BOOL WINAPI on_console_event(DWORD event) {
    (void)event;
    console_restore();
    if (temp_kept) DeleteFileW(temp_path);
    return FALSE;
}

// A program that ended badly may have left the console handing over single
// keys, unechoed: the prompts read whole lines, echoed, with Ctrl+C at work.
void console_start(void) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) {
        saved_attributes = info.wAttributes;
        saved_attributes_valid = 1;
    }
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (GetConsoleMode(in, &saved_input_mode)) {
        saved_input_mode_valid = 1;
        SetConsoleMode(
            in, saved_input_mode | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT);
    }
    atexit(console_restore);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

// Shift, Ctrl, Alt and the lock keys alone are not "a key" for the wait.
static int is_modifier(WORD key) {
    return key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU || key == VK_CAPITAL ||
           key == VK_NUMLOCK || key == VK_SCROLL || key == VK_LWIN || key == VK_RWIN;
}

// The key of the next event in the console's queue when it is a key going
// down, else 0 (a release, the mouse, the focus); -1 when the queue cannot
// be read.
static int next_key_down(HANDLE h) {
    INPUT_RECORD record;
    DWORD got = 0;
    if (!ReadConsoleInputW(h, &record, 1, &got) || got == 0) return -1;
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    return record.EventType == KEY_EVENT && key.bKeyDown ? key.wVirtualKeyCode : 0;
}

// One key press from the console's input queue, unechoed, passing over the
// release of the Enter that ended the menu line; what came with the key
// (the rest of a paste) is dropped.
int console_read_key(FILE* in) {
    HANDLE h = handle_of(in);
    int key;
    while ((key = next_key_down(h)) == 0 || is_modifier((WORD)key)) {
    }
    if (key < 0) return INPUT_END;
    FlushConsoleInputBuffer(h);
    return DONE;
}

// What was typed at the console, as UTF-8: one read of ReadConsoleW at a
// time, handed out byte by byte. `typed_ended` is set once Ctrl-Z was read.
static char typed[TYPED_CHUNK * UTF8_PER_UNIT];
static size_t typed_next = 0, typed_end = 0;
static int typed_ended = 0;

// Ctrl-Z ends the input there, as it does for the C library. A CR LF stays
// as it is, as the readers take it for a line end; and a character split
// between two reads lies past what any answer keeps of a line.
static void read_console_line(HANDLE h) {
    wchar_t wide[TYPED_CHUNK];
    DWORD got = 0;
    if (!ReadConsoleW(h, wide, TYPED_CHUNK, &got, NULL)) got = 0;
    DWORD units = 0;
    while (units < got && wide[units] != CTRL_Z) units++;
    typed_ended = got == 0 || units < got;
    int len = units == 0 ? 0
                         : WideCharToMultiByte(CP_UTF8, 0, wide, (int)units, typed,
                                               (int)sizeof typed, NULL, NULL);
    typed_next = 0;
    typed_end = len > 0 ? (size_t)len : 0;
}

// Only standard input is ever a console, and console_start asked once: read
// byte by byte, a saved file would otherwise cost a call to the system a
// byte.
static int reads_console(const FILE* in) { return in == stdin && saved_input_mode_valid; }

int console_read_byte(FILE* in) {
    if (!reads_console(in)) return getc(in);
    while (typed_next == typed_end && !typed_ended) read_console_line(handle_of(in));
    return typed_next < typed_end ? (unsigned char)typed[typed_next++] : EOF;
}

void console_unread_byte(int c, FILE* in) {
    if (!reads_console(in)) {
        ungetc(c, in);
    } else if (c != EOF && typed_next > 0) {
        typed[--typed_next] = (char)c;
    }
}

void console_drop_typed_keys(FILE* in) {
    typed_next = typed_end;
    FlushConsoleInputBuffer(handle_of(in));
}

void console_local_time(struct tm* now) {
    time_t t = time(NULL);
    // Fails only for times before 1970, which time() does not give.
    (void)localtime_s(now, &t);
}

// The style is a warning icon with a single OK button (MB_ICONWARNING |
// MB_OK, 0x30). Closing the box with its close button also answers IDOK, so
// any other answer means no box came up (0 on Windows, -1 under Wine with no
// display, in a session without a desktop).
int console_box(const char* text, const char* caption) {
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
    int key = 0;
    while (key >= 0 && GetNumberOfConsoleInputEvents(in, &waiting) && waiting > 0) {
        key = next_key_down(in);
        enter |= key == VK_RETURN;
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
    const int c = getc(in);
    if (c != EOF) ungetc(c, in);
    return c == EOF;
}

// At a console the wait also listens for Enter, which asks to leave the
// mode at once. From a pipe or a file it ends at once when input has ended,
// and is otherwise a plain sleep that leaves the input for later prompts.
int console_wait(int ms, FILE* in) {
    if (!console_is_terminal(in)) {
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

// The system editor prints the file on the default printer and ends. It is
// the Notepad of the system's own Windows folder, asked of the system, so a
// NOTEPAD.exe lying in the working directory or on PATH never runs; it is
// started as a program of its own, never through a shell, and the name goes
// to it in quotes, whole.
int console_print(const char* path) {
    static const wchar_t kNotepad[] = L"\\notepad.exe";
    wchar_t notepad[WIDE_PATH];
    wchar_t quoted[WIDE_PATH + 2] = L"\"";
    const UINT len = GetSystemWindowsDirectoryW(notepad, WIDE_PATH);
    if (len == 0 || len + wcslen(kNotepad) >= WIDE_PATH ||
        widen(path, quoted + 1, WIDE_PATH) != DONE)
        return CALL_FAILED;
    wcscat(notepad, kNotepad);
    wcscat(quoted, L"\"");
    return _wspawnl(_P_WAIT, notepad, L"NOTEPAD", L"/P", quoted, NULL) == 0 ? DONE : CALL_FAILED;
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

static void drop_temp_file(void) {
    temp_kept = 0;
    DeleteFileW(temp_path);
}

// CREATE_NEW creates the file only if the name is free; a link at the name
// makes it fail rather than be followed. The name takes the process and a
// count, tried again while another file holds it. Text mode, so the file
// gets the system's own line ends. FILE_SHARE_DELETE lets the control
// handler remove it while it is still open.
FILE* console_create_temp_file(const char* beside) {
    static unsigned count = 0;
    char path[WIDE_PATH];
    for (int tries = 0; tries < MAX_TEMP_TRIES; tries++) {
        int len = snprintf(path, sizeof path, "%s.%lu-%u.tmp", beside,
                           (unsigned long)GetCurrentProcessId(), ++count);
        temp_kept = 0;
        if (len < 0 || (size_t)len >= sizeof path || widen(path, temp_path, WIDE_PATH) != DONE)
            return NULL;
        HANDLE h = CreateFileW(temp_path, GENERIC_WRITE, FILE_SHARE_DELETE, NULL, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, NULL);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return NULL;
        }
        temp_kept = 1;
        FILE* file = stream_of(h, _O_WRONLY | _O_TEXT, "w");
        if (file == NULL) drop_temp_file();
        return file;
    }
    return NULL;
}

// A folder cannot be opened as a file at all, so it is told apart first;
// once open, only a file on a disk is read, never a device (CON, NUL, a
// serial port) or a pipe, which could wait for ever. Sharing everything
// lets another program replace or remove the file while it is read.
int console_open_file(const char* path, FILE** file) {
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

// Windows refuses to replace a file another program holds open (another
// Kelvra loading it, a virus scanner, an indexer), so a refusal is tried
// again for about a second. MoveFileExW replaces the old file in one step,
// as a rename does; a folder at the name is never replaced.
int console_replace_file(FILE* file, const char* to, int written) {
    const bool pushed = written == DONE && fflush(file) == 0 && _commit(_fileno(file)) == 0;
    wchar_t wide_to[WIDE_PATH];
    const bool ready = fclose(file) == 0 && pushed && widen(to, wide_to, WIDE_PATH) == DONE;
    for (int tries = 1; ready; tries++) {
        const DWORD old = GetFileAttributesW(wide_to);
        if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_DIRECTORY)) break;
        if (MoveFileExW(temp_path, wide_to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            temp_kept = 0;
            return DONE;
        }
        DWORD error = GetLastError();
        if (tries == REPLACE_TRIES ||
            (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED))
            break;
        Sleep(REPLACE_PAUSE_MS);
    }
    drop_temp_file();
    return CALL_FAILED;
}

// A variable longer than TEXT_CELL units reads as unset.
int console_env(const char* name, char* value, size_t size) {
    wchar_t wide_name[TEXT_CELL];
    wchar_t wide[TEXT_CELL];
    DWORD len = widen(name, wide_name, TEXT_CELL) == DONE
                    ? GetEnvironmentVariableW(wide_name, wide, TEXT_CELL)
                    : 0;
    if (len == 0 || len >= TEXT_CELL) wide[0] = L'\0';
    return narrow(wide, value, size);
}

int console_account_name(char* name, size_t size) {
    wchar_t wide[TEXT_CELL];
    DWORD len = TEXT_CELL;
    if (!GetUserNameW(wide, &len)) wide[0] = L'\0';
    return narrow(wide, name, size);
}

// Valid UTF-8 stays; any other line is read in the OEM code page.
void console_legacy_to_utf8(char* line, size_t size) {
    wchar_t wide[TEXT_CELL];
    if (size == 0 || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line, -1, NULL, 0) > 0)
        return;
    if (MultiByteToWideChar(GetOEMCP(), 0, line, -1, wide, TEXT_CELL) > 0)
        (void)narrow(wide, line, size);
}

const int console_on_windows = 1;
const char console_path_separator = '\\';
