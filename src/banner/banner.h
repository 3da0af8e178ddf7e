// The banner screen of the hidden option 9.
#pragma once

#include <stdio.h>

#include "notes/notes.h"

// Clears the screen, turns the text yellow for the rest of the process and
// shows the picture.
void AscciArt(FILE* out, const Console* con);
