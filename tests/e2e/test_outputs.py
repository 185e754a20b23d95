"""Whatever a researcher names as the output, the recording survives and
nothing is left half-written: one table of targets (rows) crossed with
every writer (columns: a PNG snapshot, a PDF figure, a movie, the events
table, a batch of snapshots). Each row has one outcome; in every cell the
recording's bytes stay the same and no partial file is left behind. Then
the private display of a headless run: no other client may connect."""
import ctypes
import hashlib
import os
import select
import shutil
import signal
import stat
import subprocess
import sys
import tempfile

from harness import BINARY, DATA, check, child_env, finish, on_full_disk, wait_until

work = tempfile.mkdtemp(prefix="quelvist-outputs-")
os.chmod(work, 0o755)  # the shared folder's other user must reach it
ROOT = os.geteuid() == 0
NOBODY = 65534
make = os.path.join(os.path.dirname(DATA), "tools", "make_recording.py")
source = os.path.join(work, "source.txt")
slow_source = os.path.join(work, "slow.txt")  # a page of 50000 samples: time to interrupt
subprocess.run([sys.executable, make, "--rows", "600", "--seed", "7", "-o", source], check=True)
subprocess.run([sys.executable, make, "--rows", "60000", "--seed", "8", "-o", slow_source],
               check=True)


def run(args, env=None, cwd=work, timeout=120):
    try:
        return subprocess.run([BINARY, *args], cwd=cwd, capture_output=True, text=True,
                              timeout=timeout, env=env or child_env())
    except subprocess.TimeoutExpired as e:
        return subprocess.CompletedProcess(e.cmd, "timeout", e.stdout or "", e.stderr or "")


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


# The writers: the ending of their file and their arguments for a target and
# a recording. The batch writes each recording's picture by {name}; its
# second recording is missing, so it never writes anywhere.
WRITERS = {
    "png": (".png", lambda t, r: ["--snapshot", t, "--size", "200x160", r]),
    "pdf": (".pdf", lambda t, r: ["--snapshot", t, "--size", "200x160", r]),
    "movie": (".mp4", lambda t, r: ["--movie", t, "--speed", "8", "--size", "160x120", r]),
    "events": (".tsv", lambda t, r: ["--events", t, r]),
    "batch": (".png", lambda t, r: ["--snapshot", os.path.join(os.path.dirname(t), "{name}" +
                                                               os.path.splitext(t)[1]),
                                    "--size", "200x160", "--jobs", "1", r,
                                    os.path.join(work, "absent.txt")]),
}

# A file of each kind as this program writes it.
own = {}
for writer, (ending, arguments) in WRITERS.items():
    own[ending] = os.path.join(work, "own" + ending)
    if not os.path.exists(own[ending]):
        r = run(arguments(own[ending], source))
        check(r.returncode == 0, f"a {writer} file to begin with ({r.stderr[-200:]!r})")


def partials(folder):
    """Partial files anywhere under folder."""
    return [os.path.join(d, f) for d, _, files in os.walk(folder) for f in files + _
            if ".partial-" in f]


def stem(target):
    return os.path.splitext(os.path.basename(target))[0]


class Cell:
    """One row's setup for one writer in a folder of its own: the target,
    the recording read (a copy named as the batch needs it, unless the row
    makes the target a name of the recording), and what must stay as it is."""

    def __init__(self, row, writer):
        self.writer, self.ending = writer, WRITERS[writer][0]
        self.folder = os.path.join(work, f"{row}-{writer}")
        os.mkdir(self.folder)
        self.recording = None
        self.kept = {}  # path -> bytes digest that must not change

    def copy_recording(self, name, slow=False):
        folder = os.path.join(self.folder, "in")
        os.makedirs(folder, exist_ok=True)
        self.recording = os.path.join(folder, name + ".txt")
        shutil.copy(slow_source if slow else source, self.recording)

    def arguments(self, target):
        if self.recording is None:
            self.copy_recording(stem(target))
        self.target = target
        self.recording_digest = digest(self.recording)
        return WRITERS[self.writer][1](target, self.recording)

    def keep(self, path):
        self.kept[path] = digest(path)

    def common_checks(self, label):
        check(digest(self.recording) == self.recording_digest,
              f"{label}: the recording's bytes are unchanged")
        changed = [p for p, d in self.kept.items() if not os.path.exists(p) or digest(p) != d]
        check(not changed, f"{label}: the files that must stay are as they were ({changed})")
        left = partials(self.folder)
        check(not left, f"{label}: no partial file is left ({left})")


def refused(r, says):
    out = r.stdout + r.stderr
    return r.returncode == 2 and says in out and "wrote" not in out and "1 written" not in out


def looks_written(path, ending):
    if not os.path.isfile(path) or os.path.islink(path):
        return False
    with open(path, "rb") as f:
        start = f.read(16)
    return {".png": start.startswith(b"\x89PNG"), ".pdf": start.startswith(b"%PDF-"),
            ".mp4": start[4:8] == b"ftyp", ".tsv": start.startswith(b"onset\t")}[ending]


def written(cell, r):
    if cell.writer == "batch":
        ok = r.returncode == 2 and "1 written, 1 failed" in r.stdout
    else:
        ok = r.returncode == 0
    return ok and looks_written(cell.target, cell.ending)


# --- The rows. Each makes its target in a cell and says what must happen.

def the_recording(cell):
    cell.recording = os.path.join(cell.folder, "rec" + cell.ending)
    shutil.copy(source, cell.recording)
    r = run(cell.arguments(cell.recording))
    return refused(r, "recording"), r


def link_to_it(cell, hard=False):
    original = os.path.join(cell.folder, "rec.txt")
    shutil.copy(source, original)
    target = os.path.join(cell.folder, "alias" + cell.ending)
    (os.link if hard else os.symlink)(original, target)
    # The batch reads the recording by the alias, so that {name} gives it.
    cell.recording = target if cell.writer == "batch" else original
    r = run(cell.arguments(target))
    ok = refused(r, "recording") and (hard or os.path.islink(target))
    return ok, r


def folder(cell):
    target = os.path.join(cell.folder, "figures" + cell.ending)
    os.mkdir(target)
    r = run(cell.arguments(target))
    return refused(r, "it is a folder") and os.listdir(target) == [], r


def dev_null(cell):
    """The run sees the machine's /dev/null as a mount point of a namespace
    of its own: a program that got it wrong could not rename over it there
    (EBUSY), so the test never leaves the machine without its /dev/null."""
    guarded = ["unshare", "-m", "--propagation", "private", "sh", "-c",
               'mount --bind /dev/null /dev/null && exec "$0" "$@"', BINARY,
               *cell.arguments("/dev/null")]
    r = subprocess.run(guarded, cwd=work, capture_output=True, text=True, timeout=120,
                       env=child_env())
    if r.returncode != 2 and "mount" in r.stderr:
        print(f"(no private mounts here, /dev/null is not tried: {r.stderr.strip()})")
        return None, None
    return refused(r, "a device, a pipe or a socket") and stat.S_ISCHR(os.stat("/dev/null").st_mode), r


def fifo(cell):
    target = os.path.join(cell.folder, "pipe" + cell.ending)
    os.mkfifo(target)
    r = run(cell.arguments(target), timeout=60)
    return refused(r, "a device, a pipe or a socket") and stat.S_ISFIFO(os.stat(target).st_mode), r


def read_only(cell):
    target = os.path.join(cell.folder, "final" + cell.ending)
    shutil.copy(own[cell.ending], target)
    os.chmod(target, 0o444)
    cell.keep(target)
    r = run(cell.arguments(target))
    return refused(r, "read-only"), r


def shared_folder(cell):
    os.chmod(cell.folder, 0o1777)  # as /tmp: anybody may add a name
    victim = os.path.join(work, f"victim-{cell.writer}{cell.ending}")
    shutil.copy(own[cell.ending], victim)
    cell.keep(victim)
    return victim


def planted_partial(cell):
    """Another user's links where the partial file used to be made
    ("fig.partial.png", to a file that exists, and "fig.partial2.png", to
    one that does not yet): neither is written through nor made."""
    victim = shared_folder(cell)
    made = os.path.join(work, f"made-by-{cell.writer}")  # root's file, would the link be followed
    target = os.path.join(cell.folder, "fig" + cell.ending)
    planted = {os.path.join(cell.folder, "fig.partial" + cell.ending): victim,
               os.path.join(cell.folder, "fig.partial2" + cell.ending): made}
    for link, to in planted.items():
        os.symlink(to, link)
        if ROOT:
            os.lchown(link, NOBODY, NOBODY)
    r = run(cell.arguments(target))
    return written(cell, r) and not os.path.exists(made) \
        and all(os.readlink(link) == to for link, to in planted.items()), r


def planted_target(cell):
    """Another user's link at the target itself, to a file of ours: refused."""
    victim = shared_folder(cell)
    target = os.path.join(cell.folder, "fig" + cell.ending)
    os.symlink(victim, target)
    os.lchown(target, NOBODY, NOBODY)
    r = run(cell.arguments(target))
    return refused(r, "another user") and os.readlink(target) == victim, r


def full_disk(cell):
    """A disk that fills up (a 64 KB tmpfs, filled before the run): the
    system's reason, status 2, the old file of that name kept."""
    mount = os.path.join(cell.folder, "disk")
    os.mkdir(mount)
    target = os.path.join(mount, "fig" + cell.ending)
    arguments = cell.arguments(target)
    quoted = " ".join("'" + a.replace("'", "'\\''") + "'" for a in [BINARY, *arguments])
    # Room for the old file and a little more, all taken before the run.
    r = on_full_disk(mount, os.path.getsize(own[cell.ending]) // 1024 + 64,
                     f"cp {own[cell.ending]} {target} && (head -c 1M /dev/zero > {mount}/filler "
                     f"2>/dev/null; true) && {quoted}; echo status=$?; cmp {own[cell.ending]} "
                     f"{target} && echo kept; ls -a {mount}")
    if r is None:
        return None, None
    says = "ffmpeg could not write" if cell.writer == "movie" else "No space left on device"
    status = "status=2" in r.stdout
    return status and says in r.stdout + r.stderr and "kept" in r.stdout \
        and ".partial-" not in r.stdout, r


class CreationWatch:
    """inotify on a folder: returns once a partial file is created there
    (the program's own event, not a guess at its pace)."""

    def __init__(self, folder):
        self.libc = ctypes.CDLL(None, use_errno=True)
        self.fd = self.libc.inotify_init1(os.O_CLOEXEC)
        self.libc.inotify_add_watch(self.fd, folder.encode(), 0x100)  # IN_CREATE

    def wait_partial(self, process, timeout=60):
        buffer = b""
        while process.poll() is None:
            ready, _, _ = select.select([self.fd], [], [], timeout)
            if not ready:
                return None
            buffer += os.read(self.fd, 65536)
            while len(buffer) >= 16:
                length = int.from_bytes(buffer[12:16], sys.byteorder)
                name = buffer[16:16 + length].split(b"\0")[0].decode()
                buffer = buffer[16 + length:]
                if ".partial-" in name:
                    return name
        return None

    def close(self):
        os.close(self.fd)


SIGNALS = {"png": signal.SIGINT, "pdf": signal.SIGTERM, "movie": signal.SIGHUP,
           "events": signal.SIGINT, "batch": signal.SIGTERM}


def interrupt(cell):
    """A signal while the file is being written: the partial file goes, the
    old file of that name stays, the program ends by that signal."""
    target = os.path.join(cell.folder, "fig" + cell.ending)
    shutil.copy(own[cell.ending], target)
    cell.keep(target)
    cell.copy_recording("fig", slow=True)
    arguments = cell.arguments(target)
    if cell.writer == "movie":
        arguments = [a if a != "8" else "1" for a in arguments]  # 100 s of film
    elif cell.writer != "events":
        arguments = [a if a != "200x160" else "1200x1000" for a in arguments]
    env = child_env()
    env.pop("DISPLAY", None)  # a private display of that size
    watch = CreationWatch(cell.folder)
    process = subprocess.Popen([BINARY, *arguments], cwd=work, env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    name = watch.wait_partial(process)
    # A PDF is written again by Ghostscript into a partial file of its own
    # while gl2ps's is still there: interrupted then, both go.
    if name and cell.writer == "pdf" and shutil.which("gs"):
        name = watch.wait_partial(process)
    watch.close()
    sent = SIGNALS[cell.writer]
    if name:
        process.send_signal(sent)
    out, err = process.communicate(timeout=60)
    r = subprocess.CompletedProcess(arguments, process.returncode, out, err)
    # A batch's run removes its own partial file as it ends, after ours.
    gone = wait_until(lambda: not partials(cell.folder), 20.0, 0.02) is not None
    return name is not None and process.returncode == -sent and gone, r


ROWS = [
    ("the recording", the_recording, True),
    ("a link to it", link_to_it, True),
    ("a hard link to it", lambda cell: link_to_it(cell, hard=True), True),
    ("a folder", folder, True),
    ("/dev/null as root", dev_null, ROOT),
    ("a FIFO", fifo, True),
    ("a read-only file", read_only, True),
    ("a link planted at the partial name", planted_partial, True),
    ("another user's link at the target", planted_target, ROOT),
    ("a full disk", full_disk, True),
    ("an interrupt", interrupt, True),
]

for row, make_cell, possible in ROWS:
    if not possible:
        print(f"(not root: the row {row!r} is not tried)")
        continue
    for writer in WRITERS:
        cell = Cell(row.replace(" ", "-").replace("/", "-").strip("-"), writer)
        label = f"{row} x {writer}"
        outcome, r = make_cell(cell)
        if outcome is None:
            continue  # no private tmpfs here
        check(outcome, f"{label}: as expected ({r.returncode if r else None}, "
                       f"{(r.stdout + r.stderr)[-240:]!r})")
        cell.common_checks(label)

# Outputs of a batch are one file by their folder and name, not by their
# spelling: {dir}/../{name}.png of a/x.txt and b/x.txt is one file.
for sub in ("a", "b"):
    os.makedirs(os.path.join(work, "spelt", sub))
    shutil.copy(source, os.path.join(work, "spelt", sub, "x.txt"))
r = run(["--snapshot", "{dir}/../{name}.png", "a/x.txt", "b/x.txt"], cwd=os.path.join(work, "spelt"))
check(r.returncode == 2 and "would both be written to" in r.stderr
      and not os.path.exists(os.path.join(work, "spelt", "x.png")),
      f"a batch sees {{dir}}/../{{name}}.png of a/ and b/ as one file ({r.returncode}, {r.stderr!r})")

# --events over a file of another kind needs --force, as the pictures do.
notes = os.path.join(work, "notes.tsv")
with open(notes, "w") as f:
    f.write("my notes\n")
r = run(["--events", notes, source])
check(r.returncode == 2 and "give --force" in r.stderr and open(notes).read() == "my notes\n",
      f"--events keeps a file of another kind ({r.stderr!r})")
r = run(["--events", notes, "--force", source])
check(r.returncode == 0 and looks_written(notes, ".tsv"), f"and writes over it with --force ({r.stderr!r})")
r = run(["--events", notes, source])
check(r.returncode == 0, f"its own table it writes over ({r.stderr!r})")

# Another tool's PNG needs --force; a file written over keeps its permissions.
foreign = os.path.join(work, "foreign.png")
subprocess.run(["convert", "-size", "4x4", "xc:red", foreign], check=True)
before = digest(foreign)
r = run(["--snapshot", foreign, source])
check(r.returncode == 2 and "give --force" in r.stderr and digest(foreign) == before,
      f"another tool's PNG is kept without --force ({r.stderr!r})")
private = os.path.join(work, "private.tsv")
run(["--events", private, source])
os.chmod(private, 0o600)
r = run(["--events", private, source])
check(r.returncode == 0 and os.stat(private).st_mode & 0o777 == 0o600,
      f"a private events table stays private ({oct(os.stat(private).st_mode & 0o777)})")

# A name that is the user's own link renews the file it leads to; the link stays.
linked = os.path.join(work, "linked")
os.mkdir(linked)
os.symlink("real.png", os.path.join(linked, "latest.png"))
r = run(["--snapshot", os.path.join(linked, "latest.png"), source])
check(r.returncode == 0 and os.path.islink(os.path.join(linked, "latest.png"))
      and looks_written(os.path.join(linked, "real.png"), ".png"),
      f"a link of the user's own is written through ({r.stderr!r}, {os.listdir(linked)})")


# The private display of a headless run takes a cookie: while a movie is
# being made, a client without it is turned away, one with it is let in.
def children(pid):
    try:
        with open(f"/proc/{pid}/task/{pid}/children") as f:
            return [int(p) for p in f.read().split()]
    except OSError:
        return []


def private_display(pid):
    """The display number and -auth file of the Xvfb started by pid: the
    number from the X socket it listens on."""
    for child in children(pid):
        try:
            with open(f"/proc/{child}/cmdline", "rb") as f:
                arguments = f.read().decode().split("\0")
            sockets = {os.readlink(f"/proc/{child}/fd/{fd}") for fd in os.listdir(f"/proc/{child}/fd")}
            with open("/proc/net/unix") as f:
                listening = [line.split() for line in f.readlines()[1:]]
        except OSError:
            continue
        if arguments[0] != "Xvfb" or "-auth" not in arguments:
            continue
        for fields in listening:
            if len(fields) >= 8 and f"socket:[{fields[6]}]" in sockets and "X11-unix/X" in fields[7]:
                return fields[7].rsplit("X", 1)[1], arguments[arguments.index("-auth") + 1]
    return None


env = child_env()
env.pop("DISPLAY", None)
movie = os.path.join(work, "cookie.mp4")
process = subprocess.Popen([BINARY, "--movie", movie, slow_source], cwd=work, env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
found = wait_until(lambda: private_display(process.pid), 30.0, 0.02)
check(found is not None, "a headless movie starts a private Xvfb with a cookie file")
if found:
    number, cookie = found
    mode, folder_mode = os.stat(cookie).st_mode, os.stat(os.path.dirname(cookie)).st_mode
    check(stat.S_IMODE(mode) == 0o600 and stat.S_IMODE(folder_mode) == 0o700,
          f"the cookie is the user's alone ({oct(mode)}, {oct(folder_mode)})")
    stranger = dict(os.environ, XAUTHORITY=os.path.join(work, "no-cookie"))
    r = subprocess.run(["xdpyinfo", "-display", ":" + number], capture_output=True, text=True,
                       env=stranger)
    check(r.returncode != 0, f"a client without the cookie is turned away ({r.stderr.strip()!r})")
    r = subprocess.run(["xdpyinfo", "-display", ":" + number], capture_output=True, text=True,
                       env=dict(os.environ, XAUTHORITY=cookie))
    check(r.returncode == 0, f"one with it connects ({r.stderr.strip()!r})")
process.send_signal(signal.SIGINT)
process.wait(timeout=60)
check(found is None or not os.path.exists(os.path.dirname(found[1])),
      "the cookie's folder is gone when the run ends")
check(not partials(work), "no partial file anywhere")

finish()
