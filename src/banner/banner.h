// The banner screen of the hidden option 9.
#pragma once

#include <stdio.h>

// Clears the screen, turns the text yellow for the rest of the process and
// shows the picture.
void banner_show(FILE* out);
