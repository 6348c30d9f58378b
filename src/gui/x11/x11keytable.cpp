#include "x11keytable.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cctype>

namespace {
struct KeyPair {
  KeySym keysym;
  unsigned char virt;
};

// X keysyms and the VST virtual keys they stand for. The keypad's navigation
// keysyms (Num Lock off) give the navigation keys, and Shift-Tab, which most
// keymaps report as ISO_Left_Tab, is still Tab.
const KeyPair kKeyTable[] = {
    {XK_BackSpace, 1},   {XK_Tab, 2},          {XK_ISO_Left_Tab, 2}, {XK_Return, 4},
    {XK_Pause, 5},       {XK_Escape, 6},       {XK_space, 7},        {XK_End, 9},
    {XK_Home, 10},       {XK_Left, 11},        {XK_Up, 12},          {XK_Right, 13},
    {XK_Down, 14},       {XK_Prior, 15},       {XK_Next, 16},        {XK_Print, 18},
    {XK_KP_Enter, 19},   {XK_Insert, 22},      {XK_Delete, 23},      {XK_KP_0, 24},
    {XK_KP_1, 25},       {XK_KP_2, 26},        {XK_KP_3, 27},        {XK_KP_4, 28},
    {XK_KP_5, 29},       {XK_KP_6, 30},        {XK_KP_7, 31},        {XK_KP_8, 32},
    {XK_KP_9, 33},       {XK_KP_Multiply, 34}, {XK_KP_Add, 35},      {XK_KP_Subtract, 37},
    {XK_KP_Decimal, 38}, {XK_KP_Divide, 39},   {XK_F1, 40},          {XK_F2, 41},
    {XK_F3, 42},         {XK_F4, 43},          {XK_F5, 44},          {XK_F6, 45},
    {XK_F7, 46},         {XK_F8, 47},          {XK_F9, 48},          {XK_F10, 49},
    {XK_F11, 50},        {XK_F12, 51},         {XK_Num_Lock, 52},    {XK_KP_Equal, 57},
    {XK_KP_End, 9},      {XK_KP_Home, 10},     {XK_KP_Left, 11},     {XK_KP_Up, 12},
    {XK_KP_Right, 13},   {XK_KP_Down, 14},     {XK_KP_Prior, 15},    {XK_KP_Next, 16},
    {XK_KP_Insert, 22},  {XK_KP_Delete, 23},
};
}  // namespace

unsigned char x11VirtualKey(KeySym keysym) {
  for (const KeyPair& pair : kKeyTable)
    if (pair.keysym == keysym) return pair.virt;
  return 0;
}

VstKeyCode x11KeyCode(XKeyEvent* event, unsigned int altMask, unsigned int superMask) {
  VstKeyCode keyCode = {0, 0, 0};
  XKeyEvent plain = *event;
  plain.state &= ~ControlMask;
  char text[8] = {};
  KeySym keysym = NoSymbol;
  if (XLookupString(&plain, text, sizeof text, &keysym, nullptr) == 1)
    keyCode.character = (unsigned char)text[0];
  if ((event->state & ShiftMask) && keyCode.character < 128)
    keyCode.character = std::toupper(keyCode.character);
  if (unsigned char virt = x11VirtualKey(keysym)) {
    keyCode.virt = virt;
    keyCode.character = 0;
  }
  if (event->state & ShiftMask) keyCode.modifier |= 1;
  if (event->state & altMask) keyCode.modifier |= 2;
  if (event->state & superMask) keyCode.modifier |= 4;
  if (event->state & ControlMask) keyCode.modifier |= 8;
  return keyCode;
}
