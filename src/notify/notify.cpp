// The clock watcher.
#include "notify/notify.h"

int alert(const char (&)[MAX_NOTES][NAME_CELL], const char (&)[MAX_NOTES][TIME_CELL],
          const char (&)[MAX_NOTES][DESC_CELL], int, FILE*, FILE*, const Consola*) {
    return INPUT_OK;
}
