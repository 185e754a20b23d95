// Win32 dialogs: the common file-open dialog and message boxes.
#include "app/dialogs.h"

#include "app/app.h"

#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>

bool chooseRecordingFile(char* path, size_t capacity) {
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = 76; // the layout without the trailing reserved fields
    ofn.hwndOwner = nullptr;
    ofn.hInstance = nullptr;
    ofn.lpstrFilter = "Textdateien (*.TXT)\0*.txt\0";
    ofn.lpstrCustomFilter = nullptr;
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = path;
    ofn.nMaxFile = static_cast<DWORD>(capacity);
    ofn.lpstrFileTitle = nullptr;
    ofn.nMaxFileTitle = 260;
    ofn.lpstrInitialDir = nullptr;
    ofn.lpstrTitle = nullptr;
    ofn.Flags = 0;
    ofn.lpstrDefExt = "txt";
    return GetOpenFileNameA(&ofn) != 0;
}

bool askFullScreen() {
    return MessageBoxA(nullptr, "Do you want to change to fullscreen?", "", MB_YESNO) == IDYES;
}

void showErrorMessage(const char* message) {
    if (messagesOnTerminal) {
        fprintf(stderr, "%s\n", message);
        return;
    }
    MessageBoxA(nullptr, message, "Error", MB_OK);
}
