"""Copies of the tree in which one change at a time is built and tested, side by side.

A change is anything with `id`, `file`, `build` (asan or tsan), `tests` (ctest arguments) and
`apply(text)`, which returns the file's changed text or raises NotApplicable. Its verdict:
killed when a test fails, a test program fails to list its tests, or the tests run past their
time limit (a change that hangs); survived when every test passes; build failure when the copy no
longer compiles; not applicable when its text is not there.
"""

import concurrent.futures
import filecmp
import os
import queue
import re
import shutil
import signal
import subprocess
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WORK = os.path.join(ROOT, "build", "mutation")
# Build and test jobs of all copies together: 3 on a shared machine, more on one of its own.
BUILD_JOBS = int(os.environ.get("ZOR_MUTATION_JOBS", "3"))
TIMED_OUT = "timed out"
CONFIGURE = {
    "asan": ["-DCMAKE_BUILD_TYPE=Debug", "-DZOR_SANITIZE=ON"],
    "tsan": ["-DCMAKE_BUILD_TYPE=Debug", "-DZOR_TSAN=ON"],
}
TEST_TARGET = re.compile(r"(?:zor_add_test|gtest_discover_tests)\((\w+)[^)]*?\bLABELS? (\w+)", re.S)
# A test of a program of the tree, labelled apart: add_test(NAME <test> COMMAND <target> ...)
# or a script given $<TARGET_FILE:<target>>.
PROGRAM_TEST = re.compile(r"add_test\(NAME (\w+)\s+COMMAND ([^)]*)\)")
PROGRAM = re.compile(r"^(\w+)(?![\w:])|\$<TARGET_FILE:(\w+)>")
TEST_LABEL = re.compile(r"set_tests_properties\((\w+)\s+PROPERTIES\s+LABELS\s+(\w+)")
# What CMake's gtest_discover_tests says when a test program fails to list its tests.
LISTING_FAILED = "Error running test executable"
# A machine whose disk is full says nothing of the change: its verdict waits for a rerun.
NO_SPACE = "No space left on device"


class NotApplicable(Exception):
    pass


def label_targets(tree, selection):
    """The test programs whose label the selection's -L expression matches."""
    words = selection.split()
    if "-L" not in words or words.index("-L") + 1 >= len(words):
        return []
    pattern = re.compile(words[words.index("-L") + 1])
    found = set()
    for folder, dirs, files in os.walk(tree):
        dirs[:] = [d for d in dirs if d not in (".git", "build") and not d.startswith("build-")]
        if "CMakeLists.txt" in files:
            with open(os.path.join(folder, "CMakeLists.txt"), encoding="utf-8") as handle:
                text = handle.read()
                for name, label in TEST_TARGET.findall(text):
                    if pattern.search(label):
                        found.add(name)
                labels = dict(TEST_LABEL.findall(text))
                for test, command in PROGRAM_TEST.findall(text):
                    if pattern.search(labels.get(test, "")):
                        found.update(filter(None, sum(PROGRAM.findall(command), ())))
    return sorted(found)


def run(command, log, env=None, timeout=None):
    """The command's exit code, or TIMED_OUT after its whole process group is killed."""
    with open(log, "a", encoding="utf-8") as out:
        out.write("$ " + " ".join(command) + "\n")
        out.flush()
        process = subprocess.Popen(command, env=env, stdout=out, stderr=subprocess.STDOUT,
                                   start_new_session=True)
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            out.write("(timed out)\n")
            return TIMED_OUT


def _log_since(log, offset):
    with open(log, encoding="utf-8", errors="replace") as handle:
        handle.seek(offset)
        return handle.read()


class Copy:
    """One copy of the tree with its build folders, reused from change to change."""

    def __init__(self, slot, jobs):
        self.tree = os.path.join(WORK, f"copy-{slot}")
        self.jobs = jobs

    def refresh(self):
        """Makes the copy's files those of the working tree. Files whose content is unchanged are
        left alone and changed ones get a new time: the build stays incremental and never keeps
        an object compiled from a change's text."""
        wanted = set()
        for folder, dirs, files in os.walk(ROOT):
            relative = os.path.relpath(folder, ROOT)
            if relative == ".":
                dirs[:] = [d for d in dirs if d != ".git" and d != "build" and not d.startswith("build-")]
            for name in files:
                path = os.path.normpath(os.path.join(relative, name))
                wanted.add(path)
                source, target = os.path.join(ROOT, path), os.path.join(self.tree, path)
                if os.path.exists(target) and filecmp.cmp(source, target, shallow=False):
                    continue
                os.makedirs(os.path.dirname(target), exist_ok=True)
                shutil.copyfile(source, target)
                shutil.copymode(source, target)
        for folder, dirs, files in os.walk(self.tree):
            relative = os.path.relpath(folder, self.tree)
            if relative == ".":
                dirs[:] = [d for d in dirs if d != "build"]
            for name in files:
                if os.path.normpath(os.path.join(relative, name)) not in wanted:
                    os.remove(os.path.join(folder, name))

    def build(self, kind, selection, log):
        """Builds the test programs of the selected labels and what they depend on (the libraries
        they load among it), or everything when the selection names no label. The build folder, or None when the build
        fails."""
        folder = os.path.join(self.tree, "build", kind)
        # A compiler cache takes the tree's own objects but would only fill up with the changes'.
        env = dict(os.environ, CMAKE_BUILD_PARALLEL_LEVEL=str(self.jobs), CCACHE_READONLY="1")
        if not os.path.exists(os.path.join(folder, "build.ninja")):
            if run(["cmake", "-S", self.tree, "-B", folder, "-G", "Ninja"] + CONFIGURE[kind], log, env=env):
                return None
        targets = label_targets(self.tree, selection)
        command = ["cmake", "--build", folder]
        if targets:
            command = ["ninja", "-C", folder, "-j", str(self.jobs)] + targets
        if run(command, log, env=env):
            return None
        return folder

    def test(self, folder, selection, log, retries=0, stop_on_failure=False, timeout=1800):
        env = dict(os.environ)
        env.setdefault("ASAN_OPTIONS", "detect_leaks=1")
        env.setdefault("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1")
        supp = os.path.join(self.tree, "tests", "support", "sanitizers", "tsan.supp")
        env.setdefault("TSAN_OPTIONS", f"halt_on_error=1:second_deadlock_stack=1:suppressions={supp}")
        command = ["ctest", "--test-dir", folder, "-j", str(self.jobs), "--timeout", "120",
                   "--output-on-failure", "--no-tests=error"] + selection.split()
        if stop_on_failure:
            command.append("--stop-on-failure")
        code = run(command, log, env=env, timeout=timeout)
        # Tests that fail only now and then on a loaded machine get more tries.
        for _ in range(retries):
            if code == 0:
                break
            code = run(command[:3] + ["--rerun-failed", "--output-on-failure"], log, env=env, timeout=timeout)
        return code

    def try_change(self, change, log, time_limit):
        """The verdict on one change and why."""
        path = os.path.join(self.tree, change.file)
        if not os.path.exists(path):
            return "not applicable", "file not found"
        with open(path, encoding="utf-8") as handle:
            original = handle.read()
        try:
            changed = change.apply(original)
        except NotApplicable as reason:
            return "not applicable", str(reason)
        try:
            with open(path, "w", encoding="utf-8") as handle:
                handle.write(changed)
            return self._build_and_test(change, log, time_limit)
        finally:
            with open(path, "w", encoding="utf-8") as handle:
                handle.write(original)

    def _build_and_test(self, change, log, time_limit):
        offset = os.path.getsize(log) if os.path.exists(log) else 0
        verdict = self._verdict(change, log, time_limit)
        if verdict[0] != "survived" and NO_SPACE in _log_since(log, offset):
            return "not run", "no space left on device"
        return verdict

    def _verdict(self, change, log, time_limit):
        offset = os.path.getsize(log) if os.path.exists(log) else 0
        folder = self.build(change.build, change.tests, log)
        if folder is None:
            if LISTING_FAILED in _log_since(log, offset):
                return "killed", "a test program fails to list its tests"
            return "build failure", "does not compile"
        code = self.test(folder, change.tests, log, stop_on_failure=True, timeout=time_limit)
        if code == TIMED_OUT:
            return "killed", f"time-out: the tests ran past {time_limit:.0f} s"
        return ("survived", "every test passed") if code == 0 else ("killed", "a test failed")


def baseline(copy, changes, retries=2):
    """Runs each selection's tests on the tree without a change. The time each took, and the
    selections that fail."""
    times, broken = {}, set()
    for kind, selection in sorted({(c.build, c.tests) for c in changes}):
        log = os.path.join(WORK, f"baseline-{kind}-{re.sub(r'[^a-z0-9]+', '_', selection)}.log")
        if os.path.exists(log):
            os.remove(log)
        folder = copy.build(kind, selection, log)
        started = time.monotonic()
        if folder is None or copy.test(folder, selection, log, retries=retries) != 0:
            print(f"baseline {kind} {selection}: fails without a change, see {log}", flush=True)
            broken.add((kind, selection))
        times[(kind, selection)] = time.monotonic() - started
    return times, broken


def time_limit(times, change):
    """How long a change's tests may run before it counts as hanging: well above what they take
    on the tree without it, on a machine whose load varies."""
    took = times.get((change.build, change.tests))
    return 1800 if took is None else max(180.0, 3 * took + 60)


def run_all(changes, copies, times, broken, record):
    """Tries every change in the copies side by side; record(change, verdict, detail, seconds)
    is called as each ends."""
    pending = queue.SimpleQueue()
    for change in changes:
        pending.put(change)

    def worker(copy):
        while True:
            try:
                change = pending.get_nowait()
            except queue.Empty:
                return
            log = os.path.join(WORK, "logs", f"{re.sub(r'[^A-Za-z0-9_.-]+', '_', change.id)}.log")
            os.makedirs(os.path.dirname(log), exist_ok=True)
            if os.path.exists(log):
                os.remove(log)
            started = time.monotonic()
            if (change.build, change.tests) in broken:
                verdict = ("baseline failed", "the area's tests fail without the change")
            else:
                verdict = copy.try_change(change, log, time_limit(times, change))
            record(change, verdict[0], verdict[1], time.monotonic() - started)

    with concurrent.futures.ThreadPoolExecutor(len(copies)) as pool:
        for done in [pool.submit(worker, copy) for copy in copies]:
            done.result()


def prepare_copies(count):
    os.makedirs(WORK, exist_ok=True)
    jobs = max(1, BUILD_JOBS // count)
    copies = [Copy(slot, jobs) for slot in range(count)]
    for copy in copies:
        copy.refresh()
    return copies
