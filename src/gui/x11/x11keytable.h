#pragma once
// The key table of the X11 platform: X key events to VstKeyCode records.

#include <X11/Xlib.h>

#include "aeffeditor.h"

// Builds the record for a key press: character (Latin-1, upper-cased while Shift is
// held; Ctrl does not turn it into a control character, as the Command key it stands
// for would not), virt (the VST virtual key of the keysym, which then clears
// character) and modifier (Shift 1, Alt 2, Super 4, Ctrl 8). altMask and superMask
// are the modifier-state bits of the Alt and Super keys in the current mapping.
VstKeyCode x11KeyCode(XKeyEvent* event, unsigned int altMask, unsigned int superMask);

// The VST virtual key of an X keysym, 0 when it has none.
unsigned char x11VirtualKey(KeySym keysym);
