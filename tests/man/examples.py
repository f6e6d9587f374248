"""Runs the commands of the OUTPUT and EXAMPLES sections of every manual page and
compares what they print with what the page shows.

In those sections, an .EX/.EE block that holds commands ("$ " lines) shows after each
the standard output it prints; a last line "..." stands for more output that the page
leaves out. Blocks without a command are literal samples and are not run. The commands of one page run in order in a scratch folder of their own that
holds cube.stl (examples/cube.stl), with the built programs first on PATH; each must exit
with 0.

Usage: examples.py man_dir bin_dir cube.stl
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile


def unescape(line):
    line = line.replace("\\&", "").replace("\\-", "-").replace("\\(aq", "'").replace("\\(dq", '"')
    return line.replace("\\e", "\\")


def examples(path):
    """The (command, expected lines, truncated) triples of the page's OUTPUT and EXAMPLES."""
    items, section, block, current = [], None, False, None
    with open(path, encoding="utf-8") as f:
        for raw in f.read().split("\n"):
            if raw.startswith(".SH"):
                section = raw[3:].strip().strip('"')
                continue
            if section not in ("OUTPUT", "EXAMPLES"):
                continue
            if raw == ".EX":
                block, current = True, None
            elif raw == ".EE":
                block = False
            elif block:
                line = unescape(raw)
                if line.startswith("$ "):
                    current = [line[2:], [], False]
                    items.append(current)
                elif current is not None and line == "...":
                    current[2] = True
                elif current is not None:
                    current[1].append(line)
    return items


def main():
    man_dir, bin_dir, cube = (os.path.abspath(a) for a in sys.argv[1:4])
    env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ.get("PATH", ""), LC_ALL="C")
    failures, commands, pages = 0, 0, 0
    for page in sorted(glob.glob(os.path.join(man_dir, "*.[17]"))):
        items = examples(page)
        name = os.path.basename(page)
        if not items:
            print(f"{name}: no example")
            failures += 1
            continue
        pages += 1
        work = tempfile.mkdtemp(prefix="man-examples-")
        try:
            shutil.copy(cube, os.path.join(work, "cube.stl"))
            for command, expected, truncated in items:
                commands += 1
                run = subprocess.run(["sh", "-c", command], cwd=work, env=env, capture_output=True,
                                     timeout=120)
                got = run.stdout.decode("utf-8", "replace").split("\n")
                if got and got[-1] == "":
                    got.pop()
                shown = got[:len(expected)] if truncated else got
                if run.returncode != 0 or shown != expected or (truncated and len(got) <= len(expected)):
                    failures += 1
                    print(f"{name}: $ {command}\n  status {run.returncode}\n  expected {expected}"
                          f"{' ...' if truncated else ''}\n  got      {got}\n  stderr   "
                          f"{run.stderr.decode('utf-8', 'replace').strip()}")
        finally:
            shutil.rmtree(work)
    print(f"{commands} example commands of {pages} pages run, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
