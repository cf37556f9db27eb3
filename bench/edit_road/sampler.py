# What both edit-road benchmarks read from /proc while the driver holds the scene still, and how
# they put their table into RESULTS.md. Imported by the Python parts of idle.sh and run.sh.
import os
import sys
import time


def processes(word, prefix):
    """Pids whose command line holds `word`, of the Wine session with this WINEPREFIX only:
    other sessions may run the same programs beside this one."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            cmd = open(f"/proc/{pid}/cmdline", "rb").read()
            env = open(f"/proc/{pid}/environ", "rb").read().split(b"\0")
        except OSError:
            continue
        if word in cmd and b"WINEPREFIX=" + prefix in env:
            found.append(pid)
    return found


def one_process(name, prefix):
    found = processes(name.encode(), prefix)
    if len(found) != 1:
        sys.exit(f"expected one {name} process of this session, found {len(found)}")
    return found[0]


def threads(pid):
    """(task id, schedstat text, status lines) of each thread still alive."""
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            stat = open(f"/proc/{pid}/task/{task}/schedstat").read()
            status = open(f"/proc/{pid}/task/{task}/status").read().splitlines()
        except OSError:
            continue
        yield task, stat, status


def cpu_ns(pid):
    # The scheduler's run time of every thread, in nanoseconds.
    return sum(int(stat.split()[0]) for _, stat, _ in threads(pid))


def wait_ready(out, name, driver):
    # The driver drops a file in `out` once the scene is set; it may also die first.
    deadline = time.time() + 120
    while not os.path.exists(os.path.join(out, name)):
        try:
            os.kill(driver, 0)
        except OSError:
            sys.exit("the driver ended before " + name)
        if time.time() > deadline:
            sys.exit("timed out waiting for " + name)
        time.sleep(0.05)


def write_part(results, begin, end, table, fresh):
    """Puts `table` between the markers `begin` and `end` in RESULTS.md, leaving the rest of the
    file as it was; where the markers are missing, `fresh(text)` gives the whole new file."""
    try:
        text = open(results).read()
    except OSError:
        text = ""
    if begin in text and end in text:
        text = text[: text.index(begin) + len(begin)] + "\n" + table + text[text.index(end) :]
    else:
        text = fresh(text)
    open(results, "w").write(text)
