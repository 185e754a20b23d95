// Linux: GTK 3 dialogs, POSIX files, /proc/self/exe, strtod_l, XKB's key
// repeat.
//
// GTK is opened with dlopen when the first dialog is shown: snapshots and
// movies never show one, and its sixty-odd libraries would cost them a good
// part of their start-up. Its header is used for the types only.
//
// Each dialog is destroyed and GTK's pending events are run before
// returning, so the dialog has left the screen before the GL window opens or
// the process ends.
#include "platform/platform.h"

#include <gtk/gtk.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <dlfcn.h>
#include <fcntl.h>
#include <locale.h>
#include <poll.h>
#include <sched.h>
#include <spawn.h>
#include <string>
#include <sys/random.h>
#include <sys/syscall.h>
#include <sys/prctl.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// After GTK: Xlib's macros (None, Status...) would clash with its names.
#include <GL/glx.h>
#include <X11/XKBlib.h>

extern char** environ;

namespace {

#define GTK_FUNCTIONS(X)                                                                           \
    X(gtk_init_check)                                                                              \
    X(gtk_events_pending)                                                                          \
    X(gtk_main_iteration)                                                                          \
    X(gtk_file_chooser_dialog_new)                                                                 \
    X(gtk_file_filter_new)                                                                         \
    X(gtk_file_filter_set_name)                                                                    \
    X(gtk_file_filter_add_custom)                                                                  \
    X(gtk_file_chooser_add_filter)                                                                 \
    X(gtk_file_chooser_set_current_folder)                                                         \
    X(gtk_file_chooser_set_filename)                                                               \
    X(gtk_file_chooser_get_filename)                                                               \
    X(gtk_dialog_run)                                                                              \
    X(gtk_widget_destroy)                                                                          \
    X(gtk_message_dialog_new)                                                                      \
    X(gtk_window_set_title)                                                                        \
    X(g_get_current_dir)                                                                           \
    X(g_build_filename)                                                                            \
    X(g_file_test)                                                                                 \
    X(g_free)

struct GtkFunctions {
#define GTK_DECLARE(name) decltype(&::name) name;
    GTK_FUNCTIONS(GTK_DECLARE)
#undef GTK_DECLARE
};
GtkFunctions gtk;

bool loadGtk() {
    void* library = dlopen("libgtk-3.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!library) return false;
#define GTK_RESOLVE(name)                                                                          \
    gtk.name = reinterpret_cast<decltype(gtk.name)>(dlsym(library, #name));                        \
    if (!gtk.name) return false;
    GTK_FUNCTIONS(GTK_RESOLVE)
#undef GTK_RESOLVE
    return gtk.gtk_init_check(nullptr, nullptr);
}

// Without GTK (not installed, or no display) no dialog can be shown; the
// terminal is told once why.
bool ensureGtk() {
    static bool ready = loadGtk();
    static bool told = false;
    if (!ready && !told) {
        const char* why = dlerror();
        fprintf(stderr, "Dialogs need GTK 3 and a display (%s)\n",
                why ? why : "GTK could not start");
        told = true;
    }
    return ready;
}

void flushEvents() {
    while (gtk.gtk_events_pending())
        gtk.gtk_main_iteration();
}

gboolean matchesTxt(const GtkFileFilterInfo* info, gpointer) {
    const char* name = info->display_name ? info->display_name : info->filename;
    if (!name) return FALSE;
    size_t length = strlen(name);
    return length >= 4 && strcasecmp(name + length - 4, ".txt") == 0;
}

gboolean matchesAny(const GtkFileFilterInfo*, gpointer) {
    return TRUE;
}

// GTK's checked casts would need GObject linked; the widgets are known.
template <typename T> T* as(GtkWidget* widget) {
    return reinterpret_cast<T*>(widget);
}

} // namespace

bool chooseRecordingFile(char* path, size_t capacity) {
    if (!ensureGtk()) return false;
    GtkWidget* dialog =
        gtk.gtk_file_chooser_dialog_new("Open", nullptr, GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
                                        GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = as<GtkFileChooser>(dialog);
    GtkFileFilter* filter = gtk.gtk_file_filter_new();
    gtk.gtk_file_filter_set_name(filter, "Textdateien (*.TXT)");
    gtk.gtk_file_filter_add_custom(filter, GTK_FILE_FILTER_DISPLAY_NAME, matchesTxt, nullptr,
                                   nullptr);
    gtk.gtk_file_chooser_add_filter(chooser, filter);
    // Exports are not always named .txt.
    GtkFileFilter* all = gtk.gtk_file_filter_new();
    gtk.gtk_file_filter_set_name(all, "All files (*.*)");
    gtk.gtk_file_filter_add_custom(all, GTK_FILE_FILTER_DISPLAY_NAME, matchesAny, nullptr, nullptr);
    gtk.gtk_file_chooser_add_filter(chooser, all);
    // The proposed file is selected in the working directory, so that Open
    // (or Return) takes it at once.
    gchar* cwd = gtk.g_get_current_dir();
    gtk.gtk_file_chooser_set_current_folder(chooser, cwd);
    gchar* proposed = gtk.g_build_filename(cwd, path, nullptr);
    if (gtk.g_file_test(proposed, G_FILE_TEST_IS_REGULAR))
        gtk.gtk_file_chooser_set_filename(chooser, proposed);
    gtk.g_free(proposed);
    gtk.g_free(cwd);

    bool chosen = false;
    if (gtk.gtk_dialog_run(as<GtkDialog>(dialog)) == GTK_RESPONSE_ACCEPT) {
        gchar* name = gtk.gtk_file_chooser_get_filename(chooser);
        if (name && strlen(name) < capacity) {
            strcpy(path, name);
            chosen = true;
        }
        gtk.g_free(name);
    }
    gtk.gtk_widget_destroy(dialog);
    flushEvents();
    return chosen;
}

bool askFullScreen() {
    if (!ensureGtk()) return false;
    GtkWidget* dialog =
        gtk.gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_YES_NO,
                                   "%s", "Do you want to change to fullscreen?");
    gtk.gtk_window_set_title(as<GtkWindow>(dialog), "");
    bool yes = gtk.gtk_dialog_run(as<GtkDialog>(dialog)) == GTK_RESPONSE_YES;
    gtk.gtk_widget_destroy(dialog);
    flushEvents();
    return yes;
}

void showErrorMessage(const char* message) {
    // Without a dialog the message still reaches the user.
    if (messagesOnTerminal || !ensureGtk()) {
        fprintf(stderr, "%s\n", message);
        return;
    }
    GtkWidget* dialog = gtk.gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                                   GTK_BUTTONS_OK, "%s", message);
    gtk.gtk_window_set_title(as<GtkWindow>(dialog), "Error");
    gtk.gtk_dialog_run(as<GtkDialog>(dialog));
    gtk.gtk_widget_destroy(dialog);
    flushEvents();
}

char** programArguments(int&, char** argv) {
    return argv;
}

FILE* openFile(const char* path, const char* mode) {
    return fopen(path, mode);
}

bool fileExists(const char* path) {
    return access(path, F_OK) == 0;
}

bool isReadableFile(FILE* file) {
    struct stat info;
    return fstat(fileno(file), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool fileStampOf(FILE* file, FileStamp& stamp) {
    struct stat info;
    if (fstat(fileno(file), &info) != 0) return false;
    stamp.size = info.st_size;
    stamp.changed =
        static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    return true;
}

bool seekFileTo(FILE* file, long long offset) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool sameFile(const char* a, const char* b) {
    struct stat first, second;
    return stat(a, &first) == 0 && stat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

bool isDirectory(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool removeFile(const char* path) {
    return remove(path) == 0;
}

bool replaceFile(const char* from, const char* to) {
    return rename(from, to) == 0;
}

bool findProgram(const char* name, char* out, size_t capacity) {
    if (strchr(name, '/')) return snprintf(out, capacity, "%s", name) < static_cast<int>(capacity);
    const char* path = getenv("PATH");
    for (const char* p = path ? path : ""; *p;) {
        const char* end = strchr(p, ':');
        const size_t length = end ? static_cast<size_t>(end - p) : strlen(p);
        // An empty or relative entry would be the working folder.
        if (length > 0 && p[0] == '/') {
            const int n = snprintf(out, capacity, "%.*s/%s", static_cast<int>(length), p, name);
            if (n > 0 && n < static_cast<int>(capacity) && access(out, X_OK) == 0) return true;
        }
        p += length + (end ? 1 : 0);
    }
    return false;
}

bool startChildProcess(const char* const* arguments, ChildProcess& child, FILE* output) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    // The output file becomes the child's descriptor 3 (childOutputName),
    // from a copy above it, so that dup2 always clears close-on-exec.
    const int given = output ? fcntl(fileno(output), F_DUPFD_CLOEXEC, 10) : -1;
    if (output && given < 0) {
        close(ends[0]);
        close(ends[1]);
        return false;
    }
    // A child that ends early must show up as a failed write, not kill us.
    signal(SIGPIPE, SIG_IGN);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], 0);
    if (given >= 0) posix_spawn_file_actions_adddup2(&actions, given, 3);
    pid_t pid = 0;
    int failed = posix_spawnp(&pid, arguments[0], &actions, nullptr,
                              const_cast<char* const*>(arguments), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (given >= 0) close(given);
    close(ends[0]);
    if (failed) {
        close(ends[1]);
        return false;
    }
    child.input = fdopen(ends[1], "wb");
    child.id = pid;
    if (!child.input) {
        close(ends[1]);
        waitpid(pid, nullptr, 0);
        return false;
    }
    return true;
}

bool finishChildProcess(ChildProcess& child) {
    fclose(child.input);
    child.input = nullptr;
    int status = 0;
    while (waitpid(static_cast<pid_t>(child.id), &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool executablePath(char* out, size_t capacity) {
    const ssize_t n = readlink("/proc/self/exe", out, capacity);
    if (n <= 0 || static_cast<size_t>(n) >= capacity) return false;
    out[n] = '\0';
    return true;
}

int processorsAvailable() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

namespace {

// What an interrupt must clean up: read by the signal handler, so kept in
// fixed storage and written before the handler can see it. A few at once:
// an events table and its sidecar are complete before either is renamed.
char interruptedFiles[PARTIAL_FILES_AT_ONCE][8192];
volatile sig_atomic_t interruptedFileSet[PARTIAL_FILES_AT_ONCE];
constexpr int MOST_WORKERS = 256;
volatile pid_t runningWorkers[MOST_WORKERS];

// The private display's cookie: its file and the folder made for it.
char cookieFile[4200], cookieFolder[4200];
volatile sig_atomic_t cookieSet;

void removeCookie() {
    if (!cookieSet) return;
    cookieSet = 0;
    unlink(cookieFile);
    rmdir(cookieFolder);
}

void onInterrupt(int signal) {
    for (int i = 0; i < PARTIAL_FILES_AT_ONCE; i++)
        if (interruptedFileSet[i]) unlink(interruptedFiles[i]);
    removeCookie();
    for (volatile pid_t& pid : runningWorkers)
        if (pid > 0) kill(pid, SIGTERM);
    // Ended as the signal would have ended us.
    ::signal(signal, SIG_DFL);
    raise(signal);
}

void handleInterrupts() {
    static bool installed;
    if (installed) return;
    installed = true;
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

} // namespace

void removeOnInterrupt(const char* path) {
    handleInterrupts();
    for (int i = 0; i < PARTIAL_FILES_AT_ONCE; i++) {
        if (!path) {
            interruptedFileSet[i] = 0;
        } else if (!interruptedFileSet[i] && strlen(path) < sizeof interruptedFiles[i]) {
            strcpy(interruptedFiles[i], path);
            interruptedFileSet[i] = 1;
            return;
        }
    }
}

void forgetOnInterrupt(const char* path) {
    for (int i = 0; i < PARTIAL_FILES_AT_ONCE; i++)
        if (interruptedFileSet[i] && strcmp(interruptedFiles[i], path) == 0) {
            interruptedFileSet[i] = 0;
            return;
        }
}

bool startWorkerProcess(const char* const* arguments, WorkerProcess& worker) {
    handleInterrupts();
    FILE* log = tmpfile();
    if (!log) return false;
    const int fd = dup(fileno(log));
    fclose(log);
    if (fd < 0) return false;
    // Only this worker writes to its log; the ones started later must not
    // hold it open.
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fd, 1);
    posix_spawn_file_actions_adddup2(&actions, fd, 2);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, arguments[0], &actions, nullptr,
                                   const_cast<char* const*>(arguments), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) {
        close(fd);
        return false;
    }
    worker.id = pid;
    worker.log = fd;
    for (volatile pid_t& slot : runningWorkers)
        if (slot <= 0) {
            slot = pid;
            break;
        }
    return true;
}

int waitForAnyWorker(const WorkerProcess* workers, int count, bool& succeeded) {
    // A pidfd per worker: other children of ours (the private Xvfb) are
    // left alone, as waitpid(-1) would not.
    std::vector<pollfd> watched(count);
    for (int i = 0; i < count; i++)
        watched[i] = {
            static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(workers[i].id), 0)), POLLIN,
            0};
    int ended = -1;
    int status = 0;
    while (ended < 0) {
        bool polled = true;
        for (const pollfd& p : watched)
            polled = polled && p.fd >= 0;
        if (polled && poll(watched.data(), watched.size(), -1) < 0 && errno != EINTR)
            polled = false;
        // Each worker is asked in turn; without pidfds (kernels before 5.3)
        // the loop looks again after a short pause.
        for (int i = 0; i < count && ended < 0; i++)
            if (waitpid(static_cast<pid_t>(workers[i].id), &status, WNOHANG) > 0) ended = i;
        if (ended < 0 && !polled) usleep(20000);
    }
    for (const pollfd& p : watched)
        if (p.fd >= 0) close(p.fd);
    succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return ended;
}

void finishWorker(WorkerProcess& worker, char* lastLine, size_t capacity) {
    for (volatile pid_t& slot : runningWorkers)
        if (slot == static_cast<pid_t>(worker.id)) slot = 0;
    const int fd = static_cast<int>(worker.log);
    char tail[4096];
    const off_t size = lseek(fd, 0, SEEK_END);
    const off_t start = size > static_cast<off_t>(sizeof tail - 1) ? size - (sizeof tail - 1) : 0;
    const ssize_t n = size > 0 ? pread(fd, tail, static_cast<size_t>(size - start), start) : 0;
    tail[n > 0 ? n : 0] = '\0';
    close(fd);
    worker.log = -1;
    lastLineOf(tail, lastLine, capacity);
}

namespace {

pid_t privateDisplay; // the private Xvfb, 0 when none runs

// Xvfb writes its display number to the pipe once it takes clients; false
// when it ends or falls silent first.
bool readDisplayNumber(int fd, int& number) {
    char text[32];
    size_t length = 0;
    while (length < sizeof text - 1) {
        pollfd ready = {fd, POLLIN, 0};
        const int polled = poll(&ready, 1, 30000); // an upper bound, not a pace
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) return false;
        const ssize_t n = read(fd, text + length, sizeof text - 1 - length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        length += static_cast<size_t>(n);
        text[length] = '\0';
        if (strchr(text, '\n')) {
            char* end = nullptr;
            const long value = strtol(text, &end, 10);
            if (end == text || value < 0 || value > 65535) return false;
            number = static_cast<int>(value);
            return true;
        }
    }
    return false;
}

// An X authority file of one entry: any address (FamilyWild), display
// number (empty: any), MIT-MAGIC-COOKIE-1 and the cookie. The server reads
// every entry of its -auth file; clients look one up by display number.
bool writeCookie(const char* path, const char* number, const unsigned char* cookie, size_t size) {
    std::string record;
    auto field = [&record](const void* bytes, size_t length) {
        record += static_cast<char>(length >> 8);
        record += static_cast<char>(length & 0xff);
        record.append(static_cast<const char*>(bytes), length);
    };
    record += "\xff\xff"; // FamilyWild
    field("", 0);
    field(number, strlen(number));
    field("MIT-MAGIC-COOKIE-1", 18);
    field(cookie, size);
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool written = write(fd, record.data(), record.size()) == ssize_t(record.size());
    return close(fd) == 0 && written;
}

// A fresh cookie in a file only this user can read, in a folder of its own,
// as xvfb-run makes one: without it any local user could connect to the
// private display and read the windows drawn there.
bool makeCookie(unsigned char* cookie, size_t size) {
    const char* temporary = getenv("TMPDIR");
    if (!temporary || !*temporary || strlen(temporary) > 4000) temporary = "/tmp";
    snprintf(cookieFolder, sizeof cookieFolder, "%s/quelvist-display-XXXXXX", temporary);
    if (!mkdtemp(cookieFolder)) return false;
    snprintf(cookieFile, sizeof cookieFile, "%s/cookie", cookieFolder);
    handleInterrupts();
    cookieSet = 1;
    if (getrandom(cookie, size, 0) == static_cast<ssize_t>(size) &&
        writeCookie(cookieFile, "", cookie, size))
        return true;
    removeCookie();
    return false;
}

// Once the display's number is known, the file names it, for libraries
// that look the cookie up by number alone.
bool nameCookieDisplay(int number, const unsigned char* cookie, size_t size) {
    char text[16], renamed[4300];
    snprintf(text, sizeof text, "%d", number);
    snprintf(renamed, sizeof renamed, "%s/cookie-%d", cookieFolder, number);
    return writeCookie(renamed, text, cookie, size) && rename(renamed, cookieFile) == 0;
}

} // namespace

bool ensureDisplayForFigures(int width, int height, char* problem, size_t capacity) {
    const char* display = getenv("DISPLAY");
    if (privateDisplay > 0) return true;
    if (display && *display) {
        // One that is gone (an ssh session's, a finished job's) is said
        // here, with what to do, rather than by freeglut with status 1.
        // The connection stays open: closing the server's only client makes
        // a server without -noreset (as xvfb-run starts it) reset, and turn
        // away freeglut's connection a moment later.
        static Display* probe = nullptr;
        if (!probe) probe = XOpenDisplay(display);
        if (probe) return true;
        snprintf(problem, capacity,
                 "cannot open the display %.200s; unset DISPLAY to draw on a private Xvfb",
                 display);
        return false;
    }
    char xvfb[4096];
    if (!findProgram("Xvfb", xvfb, sizeof xvfb)) {
        snprintf(problem, capacity,
                 "no display to draw on: DISPLAY is not set and Xvfb is not installed "
                 "(apt install xvfb)");
        return false;
    }
    unsigned char cookie[16];
    if (!makeCookie(cookie, sizeof cookie)) {
        snprintf(problem, capacity, "no display to draw on: its cookie could not be written: %s",
                 strerror(errno));
        return false;
    }
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        snprintf(problem, capacity, "no display to draw on: %s", strerror(errno));
        removeCookie();
        return false;
    }
    // The screen holds the whole window: pixels outside it are not drawn.
    char screen[64], fd[16];
    snprintf(screen, sizeof screen, "%dx%dx24", width > 1280 ? width : 1280,
             height > 1024 ? height : 1024);
    snprintf(fd, sizeof fd, "%d", ends[1]);
    // Our environment without LD_PRELOAD: a library preloaded into us (a
    // sanitizer's runtime, a debugging hook) is meant for this program, not
    // for the display server. Made before the fork, which allows no malloc.
    std::vector<char*> serverEnvironment;
    for (char** variable = environ; *variable; variable++)
        if (strncmp(*variable, "LD_PRELOAD=", 11) != 0) serverEnvironment.push_back(*variable);
    serverEnvironment.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        // The server ends with us, whichever way we end (SIGTERM: it removes
        // its lock file).
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        const int quiet = open("/dev/null", O_RDWR);
        if (quiet >= 0) {
            dup2(quiet, 0);
            dup2(quiet, 1);
            dup2(quiet, 2); // its notices are not ours to print
        }
        fcntl(ends[1], F_SETFD, 0);
        // -noreset: a server that resets when its last client leaves turns
        // away the batch's next run while it does.
        const char* const arguments[] = {"Xvfb",      "-displayfd", fd,         "-screen",
                                         "0",         screen,       "-auth",    cookieFile,
                                         "-nolisten", "tcp",        "-noreset", nullptr};
        execve(xvfb, const_cast<char* const*>(arguments), serverEnvironment.data());
        _exit(127);
    }
    close(ends[1]);
    int number = -1;
    const bool started = pid > 0 && readDisplayNumber(ends[0], number) &&
                         nameCookieDisplay(number, cookie, sizeof cookie);
    close(ends[0]);
    if (pid > 0) privateDisplay = pid;
    if (!started) {
        releaseDisplayForFigures(2);
        snprintf(problem, capacity,
                 "no display to draw on: DISPLAY is not set and %s could not "
                 "start a display",
                 xvfb);
        return false;
    }
    char name[32];
    snprintf(name, sizeof name, ":%d", number);
    setenv("DISPLAY", name, 1);
    setenv("XAUTHORITY", cookieFile, 1); // ours and the batch's runs
    return true;
}

namespace {

int statusAtEnd;

// The private server is stopped before the process ends, and the GL
// library's clean-up may still write to it: that is no failure of ours.
int endQuietly(Display*) {
    fflush(nullptr);
    _exit(statusAtEnd);
}

} // namespace

void releaseDisplayForFigures(int status) {
    const pid_t pid = privateDisplay;
    removeCookie();
    if (pid <= 0) return;
    privateDisplay = 0;
    statusAtEnd = status;
    XSetIOErrorHandler(endQuietly);
    kill(pid, SIGTERM);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

bool executableDirectory(char* out, size_t capacity) {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return false;
    exe[n] = '\0';
    char* slash = strrchr(exe, '/');
    if (!slash || static_cast<size_t>(slash - exe) >= capacity) return false;
    *slash = '\0';
    strcpy(out, exe);
    return true;
}

bool picturesFolder(char* out, size_t capacity) {
    // GLib knows the user's folders (user-dirs.dirs, named in the user's
    // language) and needs no display; it comes with GTK and is opened the
    // same way.
    using SpecialDir = decltype(&g_get_user_special_dir);
    static void* glib = dlopen("libglib-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    static SpecialDir specialDir =
        glib ? reinterpret_cast<SpecialDir>(dlsym(glib, "g_get_user_special_dir")) : nullptr;
    const char* folder = specialDir ? specialDir(G_USER_DIRECTORY_PICTURES) : nullptr;
    char home[4096];
    if (!folder || !isDirectory(folder)) {
        const char* homeFolder = getenv("HOME");
        if (!homeFolder || !*homeFolder) return false;
        snprintf(home, sizeof home, "%s/Pictures", homeFolder);
        if (!isDirectory(home)) return false;
        folder = home;
    }
    const size_t length = strlen(folder);
    const bool separated = length > 0 && folder[length - 1] == '/';
    const int n = snprintf(out, capacity, "%s%s", folder, separated ? "" : "/");
    return n > 0 && static_cast<size_t>(n) < capacity;
}

double strtodC(const char* text) {
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    return strtod_l(text, nullptr, cLocale);
}

void reportKeyRepeatsAsPresses() {
    // The connection is freeglut's: the setting belongs to the client that
    // asks for it.
    if (Display* display = glXGetCurrentDisplay())
        XkbSetDetectableAutoRepeat(display, True, nullptr);
}

namespace {

struct KeptBuffer {
    Display* display;
    GLXContext context;
    GLXDrawable window;
    GLXPbuffer pbuffer;
    int width, height;
};
KeptBuffer keptBuffer;

bool xRequestFailed;
int noteXError(Display*, XErrorEvent*) {
    xRequestFailed = true;
    return 0;
}

void closeKeptBuffer() {
    if (keptBuffer.pbuffer) glXDestroyPbuffer(keptBuffer.display, keptBuffer.pbuffer);
    keptBuffer.pbuffer = 0;
}

} // namespace

bool openKeptBuffer(int width, int height, bool* fresh) {
    *fresh = false;
    Display* display = glXGetCurrentDisplay();
    const GLXContext context = glXGetCurrentContext();
    const GLXDrawable window = glXGetCurrentDrawable();
    if (!display || !context || !window || width < 1 || height < 1) return false;
    KeptBuffer& k = keptBuffer;
    if (k.pbuffer && k.display == display && k.context == context && k.window == window &&
        k.width == width && k.height == height)
        return true;
    if (k.display == display) closeKeptBuffer();
    // The context's own configuration, so that it can draw into both.
    int id = 0, screen = 0;
    if (glXQueryContext(display, context, GLX_FBCONFIG_ID, &id) != Success ||
        glXQueryContext(display, context, GLX_SCREEN, &screen) != Success)
        return false;
    const int wanted[] = {GLX_FBCONFIG_ID, id, None};
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(display, screen, wanted, &count);
    if (!configs) return false;
    int types = 0;
    if (count > 0) glXGetFBConfigAttrib(display, configs[0], GLX_DRAWABLE_TYPE, &types);
    // A failed request would end the program through Xlib's default handler.
    GLXPbuffer pbuffer = 0;
    if (count > 0 && (types & GLX_PBUFFER_BIT)) {
        const int size[] = {GLX_PBUFFER_WIDTH,
                            width,
                            GLX_PBUFFER_HEIGHT,
                            height,
                            GLX_PRESERVED_CONTENTS,
                            True,
                            None};
        XSync(display, False);
        xRequestFailed = false;
        int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler(noteXError);
        pbuffer = glXCreatePbuffer(display, configs[0], size);
        XSync(display, False);
        XSetErrorHandler(previous);
        if (xRequestFailed && pbuffer) {
            glXDestroyPbuffer(display, pbuffer);
            pbuffer = 0;
        }
    }
    XFree(configs);
    k = {display, context, window, pbuffer, width, height};
    *fresh = pbuffer != 0;
    return pbuffer != 0;
}

void keptBufferAs(KeptBufferUse use) {
    const KeptBuffer& k = keptBuffer;
    if (!k.pbuffer) return;
    const GLXDrawable draw = use == KeptBufferUse::Draw ? k.pbuffer : k.window;
    const GLXDrawable read = use == KeptBufferUse::Read ? k.pbuffer : k.window;
    glXMakeContextCurrent(k.display, draw, read, k.context);
}

bool limitFramesToRefresh() {
    Display* display = glXGetCurrentDisplay();
    const GLXDrawable drawable = glXGetCurrentDrawable();
    if (!display || !drawable) return false;
    const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
    auto address = [](const char* name) {
        return glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name));
    };
    if (extensionListed(extensions, "GLX_EXT_swap_control")) {
        if (auto set = reinterpret_cast<void (*)(Display*, GLXDrawable, int)>(
                address("glXSwapIntervalEXT"))) {
            set(display, drawable, 1);
            return true;
        }
    }
    if (extensionListed(extensions, "GLX_MESA_swap_control"))
        if (auto set = reinterpret_cast<int (*)(unsigned)>(address("glXSwapIntervalMESA")))
            return set(1) == 0;
    if (extensionListed(extensions, "GLX_SGI_swap_control"))
        if (auto set = reinterpret_cast<int (*)(int)>(address("glXSwapIntervalSGI")))
            return set(1) == 0;
    return false;
}

// freeglut's menus on X11 never take the keyboard.
void* keyboardWindow() {
    return nullptr;
}

void giveKeyboardBack(void*) {}
