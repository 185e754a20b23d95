// The platform's dialogs: the file chooser, the full-screen question and the
// error message. One implementation per platform (GTK 3 on Linux, Win32).
#pragma once

#include <cstddef>

// Shows the file-open dialog with path preset as the proposed file. On OK the
// chosen file's path replaces path (capacity bytes, terminator included) and
// true is returned; on Cancel path is left as it was.
bool chooseRecordingFile(char* path, size_t capacity);

// Asks "Do you want to change to fullscreen?"; true for Yes.
bool askFullScreen();

// Shows message in an "Error" box with an OK button and returns when the user
// has closed it. The message is shown literally, never used as a format.
void showErrorMessage(const char* message);
