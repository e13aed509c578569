"""The README's examples, run exactly as written.

Installs the build tree into WORK/build/prefix (WORK stands for a checkout:
examples/ links to the sources), runs the README's line that puts the prefix
on the paths, then, for every code block whose first line names a file and a
command ("/* solve.c: cc solve.c ... && ./solve */", "# example.py: python3
example.py"), writes the block to that file in WORK and runs the command.
Every C, C++, Python and CMake block must be such a block. A block whose
command needs a program that is not installed (MinGW-w64, Mono) is skipped,
and the test skips (77) if that leaves one of those languages unrun.

Usage: readme_test.py SOURCE_DIR BUILD_DIR WORK_DIR
"""

import os
import re
import shutil
import subprocess
import sys

HEADER = re.compile(r"^(?://|/\*|#)\s*([\w.-]+\.\w+): (.+?)(?:\s*\*/)?$")
RUNNABLE = {"c", "cpp", "python", "cmake"}


def blocks(text):
    """(language, first line number, lines) of every fenced block."""
    found, lines, i = [], text.split("\n"), 0
    while i < len(lines):
        m = re.match(r"^```(\w*)\s*$", lines[i])
        if m:
            start = i + 1
            j = start
            while j < len(lines) and lines[j] != "```":
                j += 1
            found.append((m.group(1), start + 1, lines[start:j]))
            i = j
        i += 1
    return found


def main():
    src, build, work = (os.path.abspath(p) for p in sys.argv[1:4])
    with open(os.path.join(src, "README.md"), encoding="utf-8") as f:
        found = blocks(f.read())
    shutil.rmtree(work, ignore_errors=True)
    prefix = os.path.join(work, "build", "prefix")
    subprocess.run(["cmake", "--install", build, "--prefix", prefix], check=True,
                   stdout=subprocess.DEVNULL)
    os.symlink(os.path.join(src, "examples"), os.path.join(work, "examples"))

    paths = [b for b in found if b[0] == "sh" and any(l.startswith("export PATH=") for l in b[2])]
    if len(paths) != 1:
        print("the README has %d blocks with the line that sets the paths, not 1" % len(paths))
        return 1
    env_line = next(l for l in paths[0][2] if l.startswith("export PATH="))
    # The examples start from a clean environment, as in a new shell.
    env = {k: v for k, v in os.environ.items()
           if k not in ("LD_LIBRARY_PATH", "PYTHONPATH", "PKG_CONFIG_PATH", "CMAKE_PREFIX_PATH")}
    env["PYTHONDONTWRITEBYTECODE"] = "1"

    failed, ran, skipped = 0, [], []
    for language, line, body in found:
        header = HEADER.match(body[0]) if body else None
        if not header:
            if language in RUNNABLE:
                print("README.md:%d: a %s block without its file and command" % (line, language))
                failed += 1
            continue
        name, command = header.groups()
        tool = command.split()[0]
        if shutil.which(tool) is None:
            print("README.md:%d: %s skipped: %s is not installed" % (line, name, tool))
            skipped.append(language)
            continue
        with open(os.path.join(work, name), "w", encoding="utf-8") as f:
            f.write("\n".join(body) + "\n")
        done = subprocess.run(["bash", "-c", "set -e; %s; %s" % (env_line, command)], cwd=work,
                              env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=300)
        output = done.stdout.decode(errors="replace").rstrip()
        tail = "\n".join(output.split("\n")[-6:])
        print("README.md:%d: %s: %s -> exit status %d" % (line, name, command, done.returncode))
        if tail:
            print("    " + tail.replace("\n", "\n    "))
        if done.returncode != 0:
            failed += 1
        ran.append(language)
    print("%d blocks ran, %d skipped, %d failed" % (len(ran), len(skipped), failed))
    if failed:
        return 1
    if any(language not in ran for language in RUNNABLE):
        return 77
    return 0


if __name__ == "__main__":
    sys.exit(main())
