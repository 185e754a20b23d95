// Windows: the common file dialog and message boxes, files opened by their
// wide names, GetModuleFileNameW, the Pictures folder, the CRT's _strtod_l.
//
// The program's strings are UTF-8 (WTF-8 for names UTF-8 cannot hold); every
// call into Windows goes through the wide (W) functions, so names outside the system's ANSI code
// page (a folder named "Ελληνικά" on a German machine) survive.
#include "platform/platform.h"

#include <windows.h>
#include <bcrypt.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <locale.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// Names go both ways through WTF-8, so a file name with a lone surrogate
// (valid on Windows, not in UTF-8) opens by the name it was given.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring widen(const char* text) {
    std::u16string units = utf16FromWtf8(text);
    return std::wstring(reinterpret_cast<const wchar_t*>(units.c_str()), units.size());
}

std::string narrow(const wchar_t* text) {
    return wtf8FromUtf16(reinterpret_cast<const char16_t*>(text));
}

bool copyInto(char* out, size_t capacity, const std::string& text) {
    if (text.size() >= capacity) return false;
    memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

// A program built for the GUI has no console of its own; started from a
// command prompt, it writes to that one (--help, messages of --snapshot).
void useParentConsole() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    freopen("CONOUT$", "w", stdout);
    freopen("CONOUT$", "w", stderr);
}

} // namespace

char** programArguments(int& argc, char** argv) {
    useParentConsole();
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return argv;
    // The C runtime splits the same line by rules of its own ("" inside
    // quotes differs), so its count may not match these strings.
    argc = count;
    // Kept for the whole run, as argv is.
    static std::vector<std::string> strings;
    static std::vector<char*> pointers;
    for (int i = 0; i < count; i++)
        strings.push_back(narrow(wide[i]));
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    LocalFree(wide);
    return pointers.data();
}

bool chooseRecordingFile(char* path, size_t capacity) {
    // The buffer holds as many characters as the program's path buffer.
    // It starts empty: a proposed name would open the dialog in the working
    // folder, which for a program started from the Start menu is Program
    // Files. The user's recordings are under Documents; Cancel still reads
    // the sample from the working folder.
    std::vector<wchar_t> file(capacity, L'\0');
    PWSTR documents = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &documents)))
        documents = nullptr;

    OPENFILENAMEW ofn;
    memset(&ofn, 0, sizeof ofn);
    // The record's size in this build: 64-bit Windows rejects the 32-bit
    // layout's 76 and shows no dialog at all.
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = nullptr;
    ofn.hInstance = nullptr;
    // Exports are not always named .txt.
    ofn.lpstrFilter = L"Textdateien (*.TXT)\0*.txt\0All files (*.*)\0*.*\0";
    ofn.lpstrCustomFilter = nullptr;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(capacity);
    ofn.lpstrFileTitle = nullptr;
    ofn.nMaxFileTitle = 260;
    ofn.lpstrInitialDir = documents;
    ofn.lpstrTitle = nullptr;
    // The dialog would otherwise make the folder it opened in (Documents) the
    // working folder, where Cancel's test.txt is not.
    ofn.Flags = OFN_NOCHANGEDIR;
    ofn.lpstrDefExt = L"txt";
    const bool chosen = GetOpenFileNameW(&ofn);
    CoTaskMemFree(documents);
    return chosen && copyInto(path, capacity, narrow(file.data()));
}

bool askFullScreen() {
    return MessageBoxW(nullptr, L"Do you want to change to fullscreen?", L"", MB_YESNO) == IDYES;
}

void showErrorMessage(const char* message) {
    if (messagesOnTerminal) {
        fprintf(stderr, "%s\n", message);
        fflush(stderr);
        return;
    }
    MessageBoxW(nullptr, widen(message).c_str(), L"Error", MB_OK);
}

// A path as the file functions take it: past 260 characters (deep study
// folders on network shares) in its \\?\ form, which opens whatever the
// machine's long-path setting.
static std::wstring systemPath(const char* path) {
    std::wstring wide = widen(path);
    if (wide.size() < MAX_PATH - 12 || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
    std::vector<wchar_t> full(32768);
    const DWORD n =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0 || n >= full.size()) return wide;
    const std::wstring absolute(full.data(), n);
    if (absolute.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + absolute.substr(2);
    return L"\\\\?\\" + absolute;
}

FILE* openFile(const char* path, const char* mode) {
    return _wfopen(systemPath(path).c_str(), widen(mode).c_str());
}

bool fileExists(const char* path) {
    return GetFileAttributesW(systemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isReadableFile(FILE* file) {
    struct _stat64 info;
    return _fstat64(_fileno(file), &info) == 0 && !(info.st_mode & _S_IFDIR);
}

bool fileStampOf(FILE* file, FileStamp& stamp) {
    struct _stat64 info;
    if (_fstat64(_fileno(file), &info) != 0) return false;
    stamp.size = info.st_size;
    stamp.changed = static_cast<long long>(info.st_mtime) * 1000000000LL;
    // The last write in 100 ns steps, where the handle gives it.
    FILETIME written;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (handle != INVALID_HANDLE_VALUE && GetFileTime(handle, nullptr, nullptr, &written))
        stamp.changed =
            (static_cast<long long>(written.dwHighDateTime) << 32 | written.dwLowDateTime) * 100;
    return true;
}

bool seekFileTo(FILE* file, long long offset) {
    return _fseeki64(file, offset, SEEK_SET) == 0;
}

// The volume and file index of an existing file or folder.
static bool fileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE file = CreateFileW(systemPath(path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    return known;
}

bool sameFile(const char* a, const char* b) {
    BY_HANDLE_FILE_INFORMATION first, second;
    return fileIdentity(a, first) && fileIdentity(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

bool isDirectory(const char* path) {
    const DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool removeFile(const char* path) {
    return DeleteFileW(systemPath(path).c_str()) != 0;
}

bool replaceFile(const char* from, const char* to) {
    return MoveFileExW(systemPath(from).c_str(), systemPath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING) != 0;
}

PathKind pathKind(const char* path, bool* writable) {
    *writable = true;
    const std::wstring name = systemPath(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return PathKind::Folder;
    // Devices (NUL, CON, COM1) and pipes are told by their handle's type.
    HANDLE file =
        CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return PathKind::Missing;
    const DWORD type = GetFileType(file);
    CloseHandle(file);
    if (type != FILE_TYPE_DISK) return PathKind::Special;
    *writable = attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY);
    return PathKind::File;
}

// A link on Windows is replaced as a file is: making one takes a privilege
// ordinary users lack, so none is planted for us to write through.
bool followOwnLinks(const char* path, std::string& target) {
    target = path;
    return true;
}

long readStartOfFile(const char* path, unsigned char* bytes, size_t capacity) {
    HANDLE file = CreateFileW(systemPath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    DWORD read = 0;
    const bool done = GetFileType(file) == FILE_TYPE_DISK &&
                      ReadFile(file, bytes, static_cast<DWORD>(capacity), &read, nullptr);
    CloseHandle(file);
    return done ? static_cast<long>(read) : -1;
}

long readEndOfFile(const char* path, unsigned char* bytes, size_t capacity) {
    HANDLE file = CreateFileW(systemPath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    LARGE_INTEGER size = {}, from = {};
    DWORD read = 0;
    bool done = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size);
    if (done) {
        from.QuadPart = size.QuadPart > static_cast<LONGLONG>(capacity)
                            ? size.QuadPart - static_cast<LONGLONG>(capacity)
                            : 0;
        done = SetFilePointerEx(file, from, nullptr, FILE_BEGIN) &&
               ReadFile(file, bytes, static_cast<DWORD>(size.QuadPart - from.QuadPart), &read,
                        nullptr);
    }
    CloseHandle(file);
    return done ? static_cast<long>(read) : -1;
}

namespace {

// The partial files an interrupt removes: their wide names, in fixed
// storage for the console's handler thread.
wchar_t interruptedFiles[PARTIAL_FILES_AT_ONCE][32768];
volatile LONG interruptedFileSet[PARTIAL_FILES_AT_ONCE];

// Ctrl-C, Ctrl-Break and the console closed: the partial files are deleted
// (once ffmpeg, ended by the same Ctrl-C, lets go of them; they are gone
// when our own handles close with the process), then Windows ends the
// process.
BOOL WINAPI onConsoleInterrupt(DWORD) {
    for (int i = 0; i < PARTIAL_FILES_AT_ONCE; i++) {
        if (!InterlockedExchange(&interruptedFileSet[i], 0)) continue;
        for (int attempt = 0; attempt < 60; attempt++) {
            if (DeleteFileW(interruptedFiles[i])) break;
            const DWORD error = GetLastError();
            if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) break;
            Sleep(50);
        }
    }
    return FALSE;
}

int errnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    default:
        return EIO;
    }
}

std::string folderPart(const std::string& path) {
    const size_t separator = path.find_last_of("/\\");
    if (separator == std::string::npos) return ".";
    if (separator == 0 || (separator == 2 && path[1] == ':')) return path.substr(0, separator + 1);
    return path.substr(0, separator);
}

std::string namePart(const std::string& path) {
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

} // namespace

void removeOnInterrupt(const char* path) {
    static bool installed = SetConsoleCtrlHandler(onConsoleInterrupt, TRUE) != 0;
    (void)installed;
    if (!path) {
        for (volatile LONG& set : interruptedFileSet)
            InterlockedExchange(&set, 0);
        return;
    }
    const std::wstring name = systemPath(path);
    if (name.size() >= sizeof interruptedFiles[0] / sizeof(wchar_t)) return;
    for (int i = 0; i < PARTIAL_FILES_AT_ONCE; i++) {
        if (interruptedFileSet[i]) continue;
        memcpy(interruptedFiles[i], name.c_str(), (name.size() + 1) * sizeof(wchar_t));
        InterlockedExchange(&interruptedFileSet[i], 1);
        return;
    }
}

void forgetOnInterrupt(const char* path) {
    const std::wstring name = systemPath(path);
    for (int i = 0; i < PARTIAL_FILES_AT_ONCE; i++)
        if (interruptedFileSet[i] && name == interruptedFiles[i]) {
            InterlockedExchange(&interruptedFileSet[i], 0);
            return;
        }
}

FILE* createPartialFile(const char* path, std::string& partial) {
    const std::string name = namePart(path);
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) dot = name.size();
    // A name near the system's limit (255 UTF-16 units) gives up part of its
    // stem, never half a surrogate pair.
    std::wstring stem = widen(name.substr(0, dot).c_str());
    const size_t added = 15 + widen(name.substr(dot).c_str()).size();
    if (stem.size() + added > 255) {
        stem.resize(added < 255 ? 255 - added : 0);
        if (!stem.empty() && stem.back() >= 0xD800 && stem.back() < 0xDC00) stem.pop_back();
    }
    const std::string head =
        std::string(path, strlen(path) - name.size()) + narrow(stem.c_str()) + ".partial-";
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE &&
                          (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS);
         attempt++) {
        unsigned char random[6];
        if (BCryptGenRandom(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) {
            error = ERROR_GEN_FAILURE;
            break;
        }
        std::string candidate = head;
        for (unsigned char r : random)
            candidate += letters[r % (sizeof letters - 1)];
        candidate += name.substr(dot);
        // CREATE_NEW never opens what is there, a link included. ffmpeg
        // writes into it by its name (sharing no deletion, so that nobody
        // renames it meanwhile); deletion is shared so that the console's
        // handler can delete it on Ctrl-C while it is open.
        file = CreateFileW(systemPath(candidate.c_str()).c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            partial = candidate;
        else
            error = GetLastError();
    }
    if (file == INVALID_HANDLE_VALUE) {
        errno = errnoOf(error);
        return nullptr;
    }
    removeOnInterrupt(partial.c_str());
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY | _O_WRONLY);
    FILE* stream = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
    if (!stream) {
        if (fd >= 0)
            _close(fd);
        else
            CloseHandle(file);
        removeFile(partial.c_str());
        forgetOnInterrupt(partial.c_str());
        errno = EIO;
    }
    return stream;
}

std::string outputIdentity(const char* path) {
    std::string folder = folderPart(path), rest = namePart(path);
    BY_HANDLE_FILE_INFORMATION info;
    while (!fileIdentity(folder.c_str(), info)) {
        const std::string up = folderPart(folder);
        if (up == folder) {
            info = {};
            rest = path;
            break;
        }
        rest = namePart(folder) + "\\" + rest;
        folder = up;
    }
    // Windows' own names ignore case, as NTFS compares them.
    // The part not made yet as it will be: a//b and a\.\b are a\b here.
    std::wstring name, segment;
    for (const wchar_t c : widen(rest.c_str()) + L"\\") {
        if (c != L'/' && c != L'\\') {
            segment += c;
            continue;
        }
        if (!segment.empty() && segment != L".") name += (name.empty() ? L"" : L"\\") + segment;
        segment.clear();
    }
    if (!name.empty()) CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    char identity[64];
    snprintf(identity, sizeof identity, "%lx:%lx:%lx\\", info.dwVolumeSerialNumber,
             info.nFileIndexHigh, info.nFileIndexLow);
    return identity + narrow(name.c_str());
}

std::string childOutputName(const char* partial) {
    return partial;
}

// One argument quoted for CommandLineToArgvW's rules: backslashes are
// literal except before a quote, where they are doubled.
static void appendQuoted(std::wstring& line, const std::wstring& argument) {
    line += L'"';
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            backslashes++;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

bool findProgram(const char* name, char* out, size_t capacity) {
    const std::wstring wanted = widen(name);
    std::vector<wchar_t> found(32768);
    const DWORD room = static_cast<DWORD>(found.size());
    auto exists = [](const wchar_t* path) {
        const DWORD attributes = GetFileAttributesW(path);
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    };
    // A path of its own (QUELVIST_FFMPEG): taken as given.
    if (wanted.find_first_of(L"\\/:") != std::wstring::npos) {
        const DWORD n = GetFullPathNameW(wanted.c_str(), room, found.data(), nullptr);
        return n > 0 && n < room && exists(found.data()) &&
               copyInto(out, capacity, narrow(found.data()));
    }
    const std::wstring file = wanted.find(L'.') == std::wstring::npos ? wanted + L".exe" : wanted;
    // Beside quelvist.exe, where a lab may put it on purpose.
    char folder[4096];
    if (executableDirectory(folder, sizeof folder)) {
        const std::wstring beside = widen(folder) + L"\\" + file;
        if (exists(beside.c_str())) return copyInto(out, capacity, narrow(beside.c_str()));
    }
    // Then the PATH's absolute folders only: "." or an empty entry would be
    // the working folder, where anybody may have left an ffmpeg.exe.
    const DWORD length = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring path(length, L'\0'), folders;
    if (length) path.resize(GetEnvironmentVariableW(L"PATH", path.data(), length));
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find(L';', start);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring entry = path.substr(start, end - start);
        const bool absolute =
            (entry.size() > 2 && entry[1] == L':' && (entry[2] == L'\\' || entry[2] == L'/')) ||
            entry.rfind(L"\\\\", 0) == 0;
        if (absolute) folders += (folders.empty() ? L"" : L";") + entry;
        start = end + 1;
    }
    if (folders.empty()) return false;
    const DWORD n =
        SearchPathW(folders.c_str(), wanted.c_str(), L".exe", room, found.data(), nullptr);
    return n > 0 && n < room && copyInto(out, capacity, narrow(found.data()));
}

bool startChildProcess(const char* const* arguments, ChildProcess& child, FILE*) {
    std::wstring line;
    for (const char* const* a = arguments; *a; a++) {
        if (!line.empty()) line += L' ';
        appendQuoted(line, widen(*a));
    }
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return false;
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0); // only the child's end is inherited
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = readEnd;
    start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    // The program by its full path: never looked up again.
    const std::wstring program = widen(arguments[0]);
    BOOL started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                                  CREATE_NO_WINDOW, nullptr, nullptr, &start, &process);
    CloseHandle(readEnd);
    if (!started) {
        CloseHandle(writeEnd);
        return false;
    }
    CloseHandle(process.hThread);
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(writeEnd), _O_BINARY);
    child.input = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
    child.id = reinterpret_cast<long long>(process.hProcess);
    if (!child.input) {
        if (fd >= 0)
            _close(fd);
        else
            CloseHandle(writeEnd);
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        return false;
    }
    return true;
}

bool finishChildProcess(ChildProcess& child) {
    fclose(child.input);
    child.input = nullptr;
    HANDLE process = reinterpret_cast<HANDLE>(child.id);
    DWORD status = 1;
    bool ended = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 &&
                 GetExitCodeProcess(process, &status);
    CloseHandle(process);
    return ended && status == 0;
}

bool executablePath(char* out, size_t capacity) {
    std::vector<wchar_t> exe(32768);
    const DWORD n = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
    return n > 0 && n < exe.size() && copyInto(out, capacity, narrow(exe.data()));
}

int processorsAvailable() {
    DWORD_PTR process = 0, system = 0;
    int count = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system))
        for (; process; process &= process - 1)
            count++;
    return count > 0 ? count : 1;
}

// The runs of a batch belong to a job that ends them when this process ends,
// however it ends (Ctrl-C, the window closed, the task manager).
static HANDLE workerJob() {
    static HANDLE job = nullptr;
    if (job) return job;
    job = CreateJobObjectW(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return job;
}

bool startWorkerProcess(const char* const* arguments, WorkerProcess& worker) {
    std::wstring line;
    for (const char* const* a = arguments; *a; a++) {
        if (!line.empty()) line += L' ';
        appendQuoted(line, widen(*a));
    }
    wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
    if (!GetTempPathW(MAX_PATH + 1, folder) || !GetTempFileNameW(folder, L"qvl", 0, name))
        return false;
    // Removed by the system when the last handle closes, whatever happens.
    HANDLE log = CreateFileW(
        name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (log == INVALID_HANDLE_VALUE) return false;
    // Inheritable only while this worker starts: the others must not hold it.
    SetHandleInformation(log, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = nullptr;
    start.hStdOutput = log;
    start.hStdError = log;
    PROCESS_INFORMATION process = {};
    const std::wstring program = widen(arguments[0]);
    const BOOL started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &start, &process);
    SetHandleInformation(log, HANDLE_FLAG_INHERIT, 0);
    if (!started) {
        CloseHandle(log);
        return false;
    }
    CloseHandle(process.hThread);
    if (HANDLE job = workerJob()) AssignProcessToJobObject(job, process.hProcess);
    worker.id = reinterpret_cast<long long>(process.hProcess);
    worker.log = reinterpret_cast<long long>(log);
    return true;
}

int waitForAnyWorker(const WorkerProcess* workers, int count, bool& succeeded) {
    std::vector<HANDLE> handles(count);
    for (int i = 0; i < count; i++)
        handles[i] = reinterpret_cast<HANDLE>(workers[i].id);
    // One wait takes at most MAXIMUM_WAIT_OBJECTS handles; more are asked
    // in groups, each briefly, in turn.
    for (;;) {
        const bool oneGroup = count <= MAXIMUM_WAIT_OBJECTS;
        for (int first = 0; first < count; first += MAXIMUM_WAIT_OBJECTS) {
            const int group =
                count - first < MAXIMUM_WAIT_OBJECTS ? count - first : MAXIMUM_WAIT_OBJECTS;
            const DWORD result = WaitForMultipleObjects(
                static_cast<DWORD>(group), handles.data() + first, FALSE, oneGroup ? INFINITE : 20);
            if (result < WAIT_OBJECT_0 + group) {
                const int index = first + static_cast<int>(result - WAIT_OBJECT_0);
                DWORD status = 1;
                succeeded = GetExitCodeProcess(handles[index], &status) && status == 0;
                CloseHandle(handles[index]);
                return index;
            }
            if (result == WAIT_FAILED) {
                // A handle that cannot be waited on counts as a failed worker.
                succeeded = false;
                CloseHandle(handles[first]);
                return first;
            }
        }
    }
}

void finishWorker(WorkerProcess& worker, char* lastLine, size_t capacity) {
    HANDLE log = reinterpret_cast<HANDLE>(worker.log);
    char tail[4096];
    DWORD n = 0;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(log, &size)) {
        LARGE_INTEGER start;
        start.QuadPart = size.QuadPart > static_cast<LONGLONG>(sizeof tail - 1)
                             ? size.QuadPart - (sizeof tail - 1)
                             : 0;
        if (!SetFilePointerEx(log, start, nullptr, FILE_BEGIN) ||
            !ReadFile(log, tail, sizeof tail - 1, &n, nullptr))
            n = 0;
    }
    tail[n] = '\0';
    CloseHandle(log);
    worker.log = 0;
    lastLineOf(tail, lastLine, capacity);
}

bool ensureDisplayForFigures(int, int, char* problem, size_t capacity) {
    // A service or a task run while nobody is logged on has a window
    // station of its own that nobody sees; GL would wait there forever.
    USEROBJECTFLAGS flags = {};
    HWINSTA station = GetProcessWindowStation();
    if (station && GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr) &&
        !(flags.dwFlags & WSF_VISIBLE)) {
        snprintf(problem, capacity,
                 "no desktop to draw on: this session has no visible desktop (a service, or a "
                 "task run whether the user is logged on or not); run it in the user's session");
        return false;
    }
    return true;
}

void releaseDisplayForFigures(int) {}

bool executableDirectory(char* out, size_t capacity) {
    std::vector<wchar_t> exe(32768);
    DWORD n = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
    if (n == 0 || n >= exe.size()) return false;
    std::string path = narrow(exe.data());
    size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return false;
    return copyInto(out, capacity, path.substr(0, slash));
}

bool picturesFolder(char* out, size_t capacity) {
    PWSTR folder = nullptr;
    const bool found = SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Pictures, 0, nullptr, &folder));
    const std::string path = found && folder ? narrow(folder) : std::string();
    CoTaskMemFree(folder);
    if (path.empty()) return false;
    const bool separated = path.back() == '\\' || path.back() == '/';
    return copyInto(out, capacity, separated ? path : path + "\\");
}

double strtodC(const char* text) {
    static _locale_t cLocale = _create_locale(LC_NUMERIC, "C");
    return _strtod_l(text, nullptr, cLocale);
}

// Windows reports a held key so already: WM_KEYDOWN again, with the repeat
// flag, and one WM_KEYUP.
void reportKeyRepeatsAsPresses() {}

// The kept picture stays in a texture on Windows.
bool openKeptBuffer(int, int, bool*) {
    return false;
}

void keptBufferAs(KeptBufferUse) {}

bool limitFramesToRefresh() {
    // Offered by the driver (Wine's included) where it can wait for the
    // display; Windows' own software OpenGL has none. A driver may hand out
    // the function without offering it: the extension list says.
    using ExtensionsOfDc = const char*(WINAPI*)(HDC);
    using Extensions = const char*(WINAPI*)();
    const char* extensions = nullptr;
    if (const auto ofDc = reinterpret_cast<ExtensionsOfDc>(
            reinterpret_cast<void*>(wglGetProcAddress("wglGetExtensionsStringARB"))))
        extensions = ofDc(wglGetCurrentDC());
    else if (const auto plain = reinterpret_cast<Extensions>(
                 reinterpret_cast<void*>(wglGetProcAddress("wglGetExtensionsStringEXT"))))
        extensions = plain();
    if (!extensionListed(extensions, "WGL_EXT_swap_control")) return false;
    using SwapInterval = BOOL(WINAPI*)(int);
    const auto set = reinterpret_cast<SwapInterval>(
        reinterpret_cast<void*>(wglGetProcAddress("wglSwapIntervalEXT")));
    return set && set(1);
}

void* keyboardWindow() {
    return GetFocus();
}

void giveKeyboardBack(void* window) {
    HWND focus = static_cast<HWND>(window);
    if (focus && GetFocus() != focus && IsWindow(focus)) SetFocus(focus);
}
