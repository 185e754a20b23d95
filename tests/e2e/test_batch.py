"""Figures for a whole study from a cluster node or over ssh: several
recordings in one command (--snapshot 'OUT/{name}.png' --jobs N), and
snapshots on a machine without a display (a private Xvfb)."""
import os
import shutil
import subprocess
import sys
import tempfile

from harness import BINARY, DATA, check, child_env, finish, read_png

work = tempfile.mkdtemp(prefix="quelvist-batch-")
make = os.path.join(os.path.dirname(DATA), "tools", "make_recording.py")
names = ["s1", "s2", "bad", "s3.v2", "s4"]
for seed, name in enumerate(names):
    path = os.path.join(work, name + ".txt")
    if name == "bad":
        with open(path, "w") as out:  # a header and no samples
            out.write("Export\nTime\tx\n")
    else:
        subprocess.run([sys.executable, make, "--rows", "2000", "--seed", str(seed + 1), "-o", path],
                       check=True)


def run(*args, env=None):
    return subprocess.run([BINARY, *args], cwd=work, capture_output=True, text=True, timeout=300,
                          env=env or child_env())


def private_servers():
    """The private Xvfb servers running now (ours start with -displayfd)."""
    r = subprocess.run(["pgrep", "-f", "^Xvfb -displayfd"], capture_output=True, text=True)
    return set(r.stdout.split())


def same_pixels(a, b):
    return os.path.exists(a) and os.path.exists(b) and read_png(a).data == read_png(b).data


# A batch with one bad recording: the others are written all the same.
os.mkdir(os.path.join(work, "out"))
r = run("--snapshot", "out/{name}.png", "--size", "200x160", "--jobs", "2",
        *[n + ".txt" for n in names])
lines = r.stdout.splitlines()
check(r.returncode == 2, f"a failed recording gives status 2 ({r.returncode}, {r.stderr!r})")
check(lines[-1:] == ["4 written, 1 failed: bad.txt"], f"the summary names it ({lines[-1:]})")
check([l.split(" ", 1)[0] for l in lines[:-1]] == [f"[{k}/5]" for k in range(1, 6)],
      f"a numbered line per recording, in the order they end ({lines[:-1]})")
failure = [l for l in lines if "failed: bad.txt: " in l]
check(len(failure) == 1 and "No samples" in failure[0], f"the failure says why ({failure})")
for name in (n for n in names if n != "bad"):
    check(any(l.endswith(f" out/{name}.png") for l in lines), f"out/{name}.png is announced")
written = sorted(os.listdir(os.path.join(work, "out")))
check(written == sorted(n + ".png" for n in names if n != "bad"),
      f"the four pictures and nothing else ({written})")
for name in names:
    if name == "bad":
        continue
    single = os.path.join(work, name + "-single.png")
    r1 = run("--snapshot", single, "--size", "200x160", name + ".txt")
    check(r1.returncode == 0 and same_pixels(single, os.path.join(work, "out", name + ".png")),
          f"{name}: the batch's picture is the single --snapshot's ({r1.stderr!r})")

# Several recordings need {name} in the output, or one would overwrite the next.
r = run("--snapshot", "out/all.png", "s1.txt", "s2.txt")
check(r.returncode == 2 and "must contain {name}" in r.stderr,
      f"several recordings without {{name}}: a usage error ({r.returncode}, {r.stderr!r})")

# Nor may two recordings get one output name: neither would be whole.
os.mkdir(os.path.join(work, "again"))
os.link(os.path.join(work, "s1.txt"), os.path.join(work, "again", "s1.txt"))
r = run("--snapshot", "out/twice/{name}.png", "s1.txt", "again/s1.txt")
check(r.returncode == 2 and "would both be written to out/twice/s1.png" in r.stderr,
      f"two recordings of one name: refused before drawing ({r.returncode}, {r.stderr!r})")

# No display: a private Xvfb gives the very same pixels, and is gone after.
before = private_servers()
headless_env = child_env()
headless_env.pop("DISPLAY", None)
r = run("--snapshot", "headless.png", "--size", "200x160", "s1.txt", env=headless_env)
check(r.returncode == 0 and r.stderr == "", f"without DISPLAY the snapshot is written ({r.returncode}, {r.stderr!r})")
check(same_pixels(os.path.join(work, "headless.png"), os.path.join(work, "s1-single.png")),
      "and has the same pixels as with the display")
check(private_servers() <= before, "the private Xvfb has ended with the run")

# No display and no Xvfb: the message names the package to install.
empty = os.path.join(work, "bin")
os.mkdir(empty)
r = run("--snapshot", "none.png", "s1.txt", env=dict(headless_env, PATH=empty))
check(r.returncode == 2 and "DISPLAY is not set and Xvfb is not installed (apt install xvfb)" in r.stderr,
      f"without Xvfb: status 2 and what to install ({r.returncode}, {r.stderr!r})")
check(not os.path.exists(os.path.join(work, "none.png")), "and no file")

# A display that is gone (an old ssh session's): status 2 and what to do.
r = run("--snapshot", "gone.png", "s1.txt", env=dict(child_env(), DISPLAY=":1999"))
check(r.returncode == 2 and "unset DISPLAY" in r.stderr,
      f"a display that is gone: status 2 and what to do ({r.returncode}, {r.stderr!r})")

# A display server that resets when its last client leaves, as xvfb-run
# starts one: every run of a loop draws on it, none is turned away.
read_end, write_end = os.pipe()
server = subprocess.Popen(["Xvfb", "-screen", "0", "640x480x24", "-nolisten", "tcp",
                           "-displayfd", str(write_end)], pass_fds=[write_end],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
os.close(write_end)
with os.fdopen(read_end) as number:
    resetting = dict(child_env(), DISPLAY=":" + number.readline().strip())
failures = [r.stderr for r in (run("--snapshot", "reset.png", "--force", "s1.txt", env=resetting)
                               for _ in range(12)) if r.returncode != 0]
server.terminate()
server.wait()
check(not failures, f"twelve snapshots in a row on a server that resets ({failures[:1]})")

# With --force, a figure named like another recording of the batch would be
# written over it: refused, the recording kept.
shutil.copy(os.path.join(work, "s1.txt"), os.path.join(work, "a.txt.txt"))
shutil.copy(os.path.join(work, "s2.txt"), os.path.join(work, "a.txt"))
before_bytes = open(os.path.join(work, "a.txt"), "rb").read()
r = run("--snapshot", "{name}", "--force", "a.txt.txt", "a.txt")
check(r.returncode == 2 and "written over the recording a.txt" in r.stderr
      and open(os.path.join(work, "a.txt"), "rb").read() == before_bytes,
      f"--force never writes a figure over a recording of the batch ({r.returncode}, {r.stderr!r})")

finish()
