// The banner picture.
#include "banner/banner.h"

void AscciArt(FILE*, const Consola*) {}
