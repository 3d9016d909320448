#include "ProgramState.h"

HWND g_mainWnd = nullptr;
std::u16string g_statusText;
std::u16string g_languageName;
int g_tipMode = 0;
bool g_listening = false;
