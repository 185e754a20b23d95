"""What the scripts that run the real viewer share: the harness of the
end-to-end tests, pointed at the build named first on the command line, and
the 50000-sample recording they measure (made once)."""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
EXTRA_ARGUMENTS = sys.argv[2:]
sys.argv = [sys.argv[0], sys.argv[1] if len(sys.argv) > 1 else "build/quelvist",
            os.path.join(HERE, "..", "data")]

LARGE = "/tmp/quelvist-bench-50000.txt"
if not os.path.exists(LARGE):
    subprocess.run([sys.executable, os.path.join(HERE, "..", "tools", "make_recording.py"),
                    "--rows", "50000", "-o", LARGE], check=True)
