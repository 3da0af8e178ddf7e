#include "fake_console.h"

#include <string_view>

static FakeConsole fake;

FakeConsole& fake_console(const char* time) {
    fake = FakeConsole{*console_system(), {}, {}, {}, 0, 100};
    fake.clock.tm_isdst = -1;  // whatever that day has
    strptime((std::string("2026-12-05 ") + time).c_str(), "%F %T", &fake.clock);
    unsetenv("USERPROFILE");
    fake.ops.local_time = [](struct tm* now) { *now = fake.clock; };
    fake.ops.box = [](const char* text, const char* caption) -> int {
        fake.boxes.push_back(std::string(caption) + "|" + text);
        return DONE;
    };
    fake.ops.wait = [](int ms, FILE*) -> int {
        const size_t k = fake.waits++;
        fake.clock.tm_sec += k < fake.clock_steps.size() ? fake.clock_steps[k] : ms / 1000;
        mktime(&fake.clock);  // carries seconds into minutes and hours
        return fake.waits >= fake.max_waits ? USER_LEFT : DONE;
    };
    fake.ops.print = [](const char*) -> int { return DONE; };
    return fake;
}

const char* table_fault(const Notes& t, char fill, bool partial_row) {
    if (t.indN < 0 || t.indN > MAX_NOTES) return "the count is outside the table";
    for (int row = 0; row < MAX_NOTES; row++) {
        for (std::string_view cell :
             {std::string_view(t.TitNot[row], NAME_CELL), std::string_view(t.hora[row], TIME_CELL),
              std::string_view(t.descr[row], DESC_CELL)}) {
            const bool past = row >= t.indN;
            if (past && cell.find_first_not_of(fill) == cell.npos) continue;
            if (past && !(partial_row && row == t.indN)) return "a row past the count was written";
            if (cell.find('\0') == cell.npos) return "a cell is not terminated";
            if (cell.substr(0, cell.find('\0')).find('\n') != cell.npos)
                return "a cell holds a line end";
        }
    }
    return nullptr;
}
