// The note list layout and the report files.
#include "listing/listing.h"

void listing_show(FILE*, const Consola*, const Notas*, const char*) {}

void listing_print(FILE*, const Consola*, const Notas*, const char*) {}

void listing_export(FILE*, const Consola*, const Notas*, const char*) {}
