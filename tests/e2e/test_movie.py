"""A movie of the build-up replay for a talk: --movie with its options, the
file checked with ffprobe, its last frame against --snapshot, and the
failures that must leave no file behind."""
import os
import subprocess
import sys
import tempfile

from harness import BINARY, DATA, check, child_env, differing, finish, on_full_disk, read_png

work = tempfile.mkdtemp(prefix="quelvist-movie-")
recording = os.path.join(work, "short.txt")  # 1500 samples at 500 Hz: 3 s
subprocess.run([sys.executable, os.path.join(os.path.dirname(DATA), "tools", "make_recording.py"),
                "--rows", "1500", "--seed", "4", "-o", recording], check=True)


def run(*args, **env):
    return subprocess.run([BINARY, *args], cwd=work, capture_output=True, text=True, timeout=300,
                          env=child_env(**env))


def probe(path):
    """Frame count, width, height and pixel format of a movie's video."""
    r = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                        "-show_entries", "stream=nb_read_frames,width,height,pix_fmt", "-of",
                        "default=noprint_wrappers=1", path], capture_output=True, text=True)
    fields = dict(line.split("=", 1) for line in r.stdout.split())
    return (int(fields.get("nb_read_frames", 0)), int(fields.get("width", 0)),
            int(fields.get("height", 0)), fields.get("pix_fmt"))


def frame(path, index, name):
    png = os.path.join(work, name)
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", path, "-vf", f"select=eq(n\\,{index})",
                    "-frames:v", "1", png], check=True)
    return read_png(png)


def far_apart(a, b, box):
    """Pixels of box that differ by more than the encoder's rounding of thin lines."""
    x0, y0, x1, y1 = box
    return sum(1 for y in range(y0, y1) for x in range(x0, x1)
               if max(abs(p - q) for p, q in zip(a.at(x, y), b.at(x, y))) > 60)


# 10 frames a second at real time: 50 samples a frame, 1499 / 50 -> 30 steps and the first frame.
movie = os.path.join(work, "talk.mp4")
r = run("--movie", movie, "--fps", "10", "--size", "320x240", recording)
check(r.returncode == 0 and os.path.exists(movie), f"--movie exits 0 ({r.returncode}, {r.stderr[-300:]!r})")
check("frame 31 of 31" in r.stderr, "its progress is shown on the terminal")
check(probe(movie) == (31, 320, 240, "yuv420p"), f"31 frames of 320x240 in yuv420p ({probe(movie)})")
snapshot = os.path.join(work, "end.png")
run("--snapshot", snapshot, "--size", "320x240", recording)
end, first, still = frame(movie, 30, "last.png"), frame(movie, 0, "first.png"), read_png(snapshot)
plot = (0, 0, 320, 175)  # above the drum, which turns in the movie
near, far = far_apart(end, still, plot), far_apart(first, still, plot)
check(near < 100 and far > 5 * near, f"the last frame is the snapshot ({near} pixels differ; "
      f"{far} in the first frame)")

# A time range, twice real time, turning about z: 500 samples, 100 a frame.
turning = os.path.join(work, "turning.mp4")
r = run("--movie", turning, "--fps", "10", "--speed", "2", "--rotate", "z", "--from", "1",
        "--to", "2", recording)
check(r.returncode == 0 and probe(turning)[:3] == (6, 300, 300),
      f"--from, --to and --speed set the frames ({r.returncode}, {probe(turning)})")
check(differing(frame(turning, 1, "turn-1.png"), frame(turning, 5, "turn-5.png")) > 500,
      "--rotate turns the view")

# Failures: a clear message, status 2, and no file that looks like a movie.
for name, env, target in (("no ffmpeg", {"QUELVIST_FFMPEG": os.path.join(work, "no-ffmpeg")},
                           os.path.join(work, "none.mp4")),
                          ("ffmpeg fails", {}, os.path.join(work, "no-such-folder", "none.mp4"))):
    r = run("--movie", target, recording, **env)
    left = [f for f in os.listdir(os.path.dirname(target)) if f.startswith("none")] \
        if os.path.isdir(os.path.dirname(target)) else []
    check(r.returncode == 2 and f"could not write {target}" in r.stderr and not left,
          f"{name}: status 2, a message, no file ({r.returncode}, {r.stderr[-200:]!r}, {left})")

# Names are files, whatever they hold: a colon, a leading '-', no ending (an
# MP4 then); a user's own "x.partial.mp4" is not touched.
mine = os.path.join(work, "x.partial.mp4")
with open(mine, "w") as f:
    f.write("mine")
for name in ("take2:final.mp4", "-x.mp4", "out", "x.mp4", "odd.ending"):
    r = run("--movie=" + name, "--speed=8", recording)  # 1499 / (500 * 8 / 30) -> 12 steps
    fmt = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=format_name", "-of",
                          "default=nw=1:nk=1", "file:" + os.path.join(work, name)],
                         capture_output=True, text=True).stdout
    check(r.returncode == 0 and probe("file:" + os.path.join(work, name))[0] == 13 and "mp4" in fmt,
          f"--movie {name}: an MP4 of 13 frames ({r.returncode}, {fmt.strip()!r}, {r.stderr[-150:]!r})")
check(open(mine).read() == "mine" and not [f for f in os.listdir(work) if "partial" in f and f != "x.partial.mp4"],
      "the user's x.partial.mp4 stays and no temporary file is left")

# A folder of that name is found before anything is encoded.
os.mkdir(os.path.join(work, "folder.mp4"))
r = run("--movie", os.path.join(work, "folder.mp4"), recording)
check(r.returncode == 2 and "it is a folder" in r.stderr and "frame" not in r.stderr,
      f"a folder as the movie: status 2 before encoding ({r.stderr.strip()!r})")

# A recording longer than the table is filmed page after page: 100001
# samples at 500 Hz (200 s) at 50 times real time. Each page's build-up
# starts again: 49999 steps of 500 * 50 / 30 samples, twice, then the one
# sample of the last page.
long_recording = os.path.join(work, "long.txt")
subprocess.run([sys.executable, os.path.join(os.path.dirname(DATA), "tools", "make_recording.py"),
                "--rows", "100001", "--seed", "5", "-o", long_recording], check=True)
long_movie = os.path.join(work, "long.mp4")
r = run("--movie", long_movie, "--speed", "50", long_recording)
per_page = -(-49999 * 30 // (500 * 50)) + 1
duration = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                           "default=nw=1:nk=1", long_movie], capture_output=True, text=True).stdout
check(r.returncode == 0 and abs(float(duration or 0) - (2 * per_page + 1) / 30) < 0.01,
      f"a 100001-sample movie lasts {(2 * per_page + 1) / 30:.3f} s ({duration.strip()}, {r.stderr[-120:]!r})")
# A full disk (room for the old movie and a little more): ffmpeg's failure
# to finish the file is a failure, and the good movie of that name stays.
full = os.path.join(work, "full")
os.mkdir(full)
r = on_full_disk(full, os.path.getsize(movie) // 1024 + 8,
                 f"cp {movie} {full}/talk.mp4 && {BINARY} --movie {full}/talk.mp4 --size 640x480 "
                 f"{recording}; echo status=$?; cmp {movie} {full}/talk.mp4 && echo kept; ls {full}")
if r:
    check("status=2" in r.stdout and "kept" in r.stdout and "partial" not in r.stdout,
          f"a movie on a full disk: status 2, the old movie kept ({r.stdout.split()})")

# Figures leave out the paging notice: the first page of the long recording
# looks as the same 50000 samples on their own.
page, alone = os.path.join(work, "page.png"), os.path.join(work, "alone.png")
run("--snapshot", page, long_recording)
run("--snapshot", alone, "--to", "100", long_recording)
check(differing(read_png(page), read_png(alone)) == 0, "a snapshot shows no paging notice")

finish()
