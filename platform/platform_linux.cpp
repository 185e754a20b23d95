// Linux: GTK 3 dialogs, POSIX files, /proc/self/exe, strtod_l.
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
#include <fcntl.h>
#include <locale.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

bool ensureGtk() {
    static bool ready = gtk_init_check(nullptr, nullptr);
    return ready;
}

void flushEvents() {
    while (gtk_events_pending())
        gtk_main_iteration();
}

gboolean matchesTxt(const GtkFileFilterInfo* info, gpointer) {
    const char* name = info->display_name ? info->display_name : info->filename;
    if (!name) return FALSE;
    size_t length = strlen(name);
    return length >= 4 && g_ascii_strcasecmp(name + length - 4, ".txt") == 0;
}

} // namespace

bool chooseRecordingFile(char* path, size_t capacity) {
    if (!ensureGtk()) return false;
    GtkWidget* dialog =
        gtk_file_chooser_dialog_new("Open", nullptr, GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
                                    GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, "Textdateien (*.TXT)");
    gtk_file_filter_add_custom(filter, GTK_FILE_FILTER_DISPLAY_NAME, matchesTxt, nullptr, nullptr);
    gtk_file_chooser_add_filter(chooser, filter);
    // The proposed file is selected in the working directory, so that Open
    // (or Return) takes it at once.
    gchar* cwd = g_get_current_dir();
    gtk_file_chooser_set_current_folder(chooser, cwd);
    gchar* proposed = g_build_filename(cwd, path, nullptr);
    if (g_file_test(proposed, G_FILE_TEST_IS_REGULAR))
        gtk_file_chooser_set_filename(chooser, proposed);
    g_free(proposed);
    g_free(cwd);

    bool chosen = false;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        gchar* name = gtk_file_chooser_get_filename(chooser);
        if (name && strlen(name) < capacity) {
            strcpy(path, name);
            chosen = true;
        }
        g_free(name);
    }
    gtk_widget_destroy(dialog);
    flushEvents();
    return chosen;
}

bool askFullScreen() {
    if (!ensureGtk()) return false;
    GtkWidget* dialog =
        gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_YES_NO,
                               "%s", "Do you want to change to fullscreen?");
    gtk_window_set_title(GTK_WINDOW(dialog), "");
    bool yes = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_YES;
    gtk_widget_destroy(dialog);
    flushEvents();
    return yes;
}

void showErrorMessage(const char* message) {
    if (messagesOnTerminal) {
        fprintf(stderr, "%s\n", message);
        return;
    }
    if (!ensureGtk()) return;
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                               GTK_BUTTONS_OK, "%s", message);
    gtk_window_set_title(GTK_WINDOW(dialog), "Error");
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    flushEvents();
}

char** programArguments(int, char** argv) {
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

bool removeFile(const char* path) {
    return remove(path) == 0;
}

bool replaceFile(const char* from, const char* to) {
    return rename(from, to) == 0;
}

bool startChildProcess(const char* const* arguments, ChildProcess& child) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    // A child that ends early must show up as a failed write, not kill us.
    signal(SIGPIPE, SIG_IGN);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], 0);
    pid_t pid = 0;
    int failed = posix_spawnp(&pid, arguments[0], &actions, nullptr,
                              const_cast<char* const*>(arguments), environ);
    posix_spawn_file_actions_destroy(&actions);
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

double strtodC(const char* text) {
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    return strtod_l(text, nullptr, cLocale);
}
