#include "app/message_box_win.h"

int(WINAPI* showMessageBox)(HWND, LPCWSTR, LPCWSTR, UINT) = MessageBoxW;
