// What differs between the systems the viewer runs on, behind one set of
// calls: the dialogs, files opened by their path, the executable's and the
// Pictures folder, locale-free number conversion and the program's
// arguments. One source file per system (platform_linux.cpp,
// platform_windows.cpp); process.cpp holds what is the same everywhere: the
// event trace, the clock and the end of the process.
// Paths are UTF-8 throughout the program.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Windows names are UTF-16 that need not be valid: a lone surrogate is
// allowed in a file name. They are kept in 8 bits as WTF-8, which is UTF-8
// for every valid name and gives the lone surrogate back unchanged.
std::string wtf8FromUtf16(const char16_t* units);
std::u16string utf16FromWtf8(const char* text);

// The program's arguments as UTF-8 strings (on Windows rebuilt from the
// wide command line, so names outside the ANSI code page survive). argc
// becomes the count of the strings returned.
char** programArguments(int& argc, char** argv);

// Shows the file-open dialog with path preset as the proposed file (on
// Windows it opens in the user's Documents instead, nothing proposed), with
// the filters "Textdateien (*.TXT)" and "All files (*.*)". On OK the
// chosen file's path replaces path (capacity bytes, terminator included) and
// true is returned; on Cancel path is left as it was.
bool chooseRecordingFile(char* path, size_t capacity);

// Asks "Do you want to change to fullscreen?"; true for Yes.
bool askFullScreen();

// Shows message in an "Error" box with an OK button and returns when the user
// has closed it. The message is shown literally, never used as a format.
void showErrorMessage(const char* message);

// Dialog texts go to the terminal instead (no one is there to answer them
// while a snapshot is written).
extern bool messagesOnTerminal;

// fopen for a UTF-8 path.
FILE* openFile(const char* path, const char* mode);
bool fileExists(const char* path);
// False for a directory, or when the file cannot be examined.
bool isReadableFile(FILE* file);
// An open file's size in bytes and its last change (nanoseconds where the
// system keeps them), by which a reader knows the file it indexed; false
// when they cannot be had.
struct FileStamp {
    long long size, changed;
};
bool fileStampOf(FILE* file, FileStamp& stamp);
// Moves to a byte offset from the file's start, past 2 GB too.
bool seekFileTo(FILE* file, long long offset);

// Whether both paths name one existing file, however written (links,
// "./", case on Windows): the same device and inode, or on Windows the same
// volume and file index.
bool sameFile(const char* a, const char* b);
bool isDirectory(const char* path);

// Deletes a file; renames from to to, replacing a file of that name.
bool removeFile(const char* path);
bool replaceFile(const char* from, const char* to);

// Files being written (the output module's part of the system).
// What a name stands for, links followed: nothing yet, a file, a folder,
// or something that is no file to replace (a device, a FIFO, a socket).
// writable is false for a read-only file: one with no write permission for
// anyone (the read-only attribute on Windows) or none for this user.
enum class PathKind { Missing, File, Folder, Special, Unknown };
PathKind pathKind(const char* path, bool* writable);
// The name a file written to path replaces: path itself, or where its last
// part leads when it is a link (through further links), so that the link
// stays and its file is renewed. False when a link on the way belongs to
// another user than this one or the administrator (planted in a shared
// folder, as the system's own protection against such links has it).
bool followOwnLinks(const char* path, std::string& target);
// Up to capacity bytes from the start of path, when it is a file that can
// be read (a FIFO put there meanwhile is never waited for); -1 otherwise.
long readStartOfFile(const char* path, unsigned char* bytes, size_t capacity);
// The same for the last capacity bytes (the whole file when it is shorter).
long readEndOfFile(const char* path, unsigned char* bytes, size_t capacity);
// A new empty file beside path (in its folder), open for writing, under a
// name nobody can foresee that still ends as path does
// ("talk.partial-k3Xz9q.mp4"): created exclusively, never through a link
// nor over a name that exists (O_CREAT|O_EXCL|O_NOFOLLOW; CREATE_NEW on
// Windows). Until forgetOnInterrupt(partial) it is removed should the
// process be interrupted. Null with errno set when it cannot be made.
FILE* createPartialFile(const char* path, std::string& partial);
// What decides whether two names are one file to write: the identity of
// the folder (its nearest existing folder and the rest of the name when it
// does not exist yet) and the name, without case on Windows.
std::string outputIdentity(const char* path);

// A program started with its standard input fed by us through a pipe (the
// movie's encoder). Its output and errors go where ours go.
struct ChildProcess {
    FILE* input;
    long long id; // the process id, or its handle on Windows
};
// The program to start for name, as a full path: name itself when it holds
// a folder; otherwise, on Windows, the program beside quelvist.exe, then on
// the PATH's absolute folders (never the working folder, as Windows' own
// search would take it from); elsewhere on the PATH. False when none is.
bool findProgram(const char* name, char* out, size_t capacity);

// Starts arguments[0] (a path from findProgram) with the null-ended arguments.
// False when it cannot be started (not installed, say). output, when given,
// is a file from createPartialFile the child writes into by the name
// childOutputName gives.
bool startChildProcess(const char* const* arguments, ChildProcess& child, FILE* output = nullptr);
// The name by which a child started with output reaches that very file:
// the descriptor it inherits ("/proc/self/fd/3") on Linux, the partial
// name on Windows (where making links takes a privilege users lack).
std::string childOutputName(const char* partial);
// Closes the child's input, waits for it to end; true when it exited with 0.
bool finishChildProcess(ChildProcess& child);

// The folder that holds the running executable, without a trailing
// separator; false when it cannot be found or does not fit.
bool executableDirectory(char* out, size_t capacity);
// The running executable's own full path, for starting it again.
bool executablePath(char* out, size_t capacity);

// Programs run side by side (a batch of figures): each one's output and
// errors go to a file of its own, so that a failure can be told by its last
// line; the caller waits for whichever ends first.
struct WorkerProcess {
    long long id;  // the process id, or its handle on Windows
    long long log; // the file its output goes to: a descriptor, or a handle on Windows
};
// The processors this process may run on, at least 1: a cluster job's
// share (its CPU set), not the whole machine's.
int processorsAvailable();
// Starts arguments[0] (a full path) with the null-ended arguments; false
// when it cannot be started.
bool startWorkerProcess(const char* const* arguments, WorkerProcess& worker);
// Waits until one of the count running workers ends; returns its index
// and whether it exited with status 0. The worker's log stays open.
int waitForAnyWorker(const WorkerProcess* workers, int count, bool& succeeded);
// The last line the ended worker wrote (empty when none), then its log is
// closed.
void finishWorker(WorkerProcess& worker, char* lastLine, size_t capacity);
// The last line of text that has something on it (text is cut there).
void lastLineOf(char* text, char* out, size_t capacity);

// Snapshots and movies draw through freeglut, whose fonts need a window
// system. On Linux with DISPLAY unset or empty (ssh, a container, a cluster
// job) a private Xvfb is started, DISPLAY points at it, and it is stopped
// when the process ends; on Windows a session without a visible desktop (a
// service, a task run while nobody is logged on) cannot draw. width x height
// is the largest window asked for. The private Xvfb admits only clients with
// its fresh cookie (XAUTHORITY names it: a 0600 file in a 0700 folder of
// its own, removed when the display stops or the process is interrupted).
// False with the reason in problem when there is nothing to draw on.
bool ensureDisplayForFigures(int width, int height, char* problem, size_t capacity);
// Stops the private display, if one was started, for a process ending with
// status (endProcess calls it). Should the process end otherwise (a crash, a
// signal), the server ends with it.
void releaseDisplayForFigures(int status);

// The user's Pictures folder, ending in the system's separator so that a
// file name can follow (/home/ana/Pictures/, C:\Users\Ana\Pictures\ on
// Windows); false when the user has none or it does not fit.
bool picturesFolder(char* out, size_t capacity);

// strtod in the C locale, whatever locale the process has set (GTK sets the
// user's, in which a decimal comma may be expected).
double strtodC(const char* text);

// Makes a held key arrive as further presses and one release when it is let
// go, as Windows reports it. X11 otherwise sends a release and a press for
// every repeat, which only their time stamps (not passed on by GLUT) tell
// from real ones. Called with the viewer's GL context current.
void reportKeyRepeatsAsPresses();

// A drawable beside the viewer's window that holds a picture between
// frames: copying between it and the window's back buffer (glCopyPixels) is
// a blit, where drawing the picture back from a texture shades every pixel
// (12 ms a 1920x1080 frame on llvmpipe against 1 ms). openKeptBuffer makes
// or keeps one of that size for the current context and its window (fresh
// says it was made now: it holds nothing yet); false where the platform
// offers none (a GLX pbuffer; none on Windows). While
// keptBufferAs(Read) or (Draw) holds it is the context's read or draw
// drawable in place of the window; Off gives the window both again.
enum class KeptBufferUse { Off, Read, Draw };
bool openKeptBuffer(int width, int height, bool* fresh);
void keptBufferAs(KeptBufferUse use);

// Asks the driver to show at most one frame per display refresh (a swap
// interval of 1: GLX_EXT, _MESA or _SGI_swap_control, WGL_EXT_swap_control),
// with the viewer's GL context current; false when it offers none.
bool limitFramesToRefresh();
// Whether a space-separated extension list names name as a whole word.
bool extensionListed(const char* list, const char* name);

// The window that has the keyboard (null when none of ours has it), and
// giving the keyboard back to it: on Windows freeglut activates every menu
// window it creates, hidden as it is, and keys would then go to that menu.
void* keyboardWindow();
void giveKeyboardBack(void* window);

// A file written under its partial name until it is complete: removed
// when the process is interrupted (Ctrl-C, its terminal closed, a kill;
// on Windows Ctrl-C, Ctrl-Break or the console closed), so that no partial
// file stays behind. Up to PARTIAL_FILES_AT_ONCE files at a time (a table
// and its sidecar); forgetOnInterrupt takes one off once it has its name
// or is gone, removeOnInterrupt(nullptr) every one. The runs of a batch
// that are still going are stopped then too.
constexpr int PARTIAL_FILES_AT_ONCE = 4;
void removeOnInterrupt(const char* path);
void forgetOnInterrupt(const char* path);

// The event trace: when the environment variable QUELVIST_TRACE names a
// file, one line per finished event is appended to it and flushed at once
// (ready, key, menu, frame, exit); otherwise nothing is written.
void openTrace();
void traceEvent(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Seconds on a clock that only runs forward (not the time of day), for
// measuring the replay's pace and timing what is shown for a while.
double secondsNow();

// Traces "exit STATUS" (once, whichever way the process ends).
void traceExit(int status);

// Traces "exit STATUS" and ends the process with that status.
[[noreturn]] void endProcess(int status);
