#!/usr/bin/env python3
"""Plants hand-written faults one at a time and tells which ones the tests catch.

usage: scripts/mutate.py [-j N] [--faults FILE] [--layer LAYER] [--list | --check] [FAULT_ID...]

Each fault (scripts/mutations/faults.txt) is applied to a copy of the tree under
build/mutation/copy-<n> (never the working tree), the copy's build folder is rebuilt
incrementally (ASan/UBSan Debug like the test build, or ThreadSanitizer for faults whose
`build` is tsan), and the tests of the fault's area run. A fault is killed when a test fails,
survived when all pass, not applicable when its original text is not found exactly once,
a build failure when the copy no longer compiles. Each area's tests first run without a fault
(failures retried twice, for tests that time out on a loaded machine); an area that still fails
reports its faults as baseline failed. Equivalent faults are reported apart and not run.
-j 2 runs two copies side by side (the machine is shared: at most 2). The report goes to
stdout and build/mutation/report.txt: the faults of this run, and all faults by their latest
run (build/mutation/verdicts.tsv keeps them), so that a rerun of the survivors completes it.
Not part of CI: it is slow.

Only the programs of the selected labels' tests and the libraries they load are rebuilt for a
fault (`-L` selections); a test that runs another program of the tree uses it as last built.
"""

import argparse
import collections
import concurrent.futures
import filecmp
import os
import queue
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "build", "mutation")
BUILD_JOBS = 3
CONFIGURE = {
    "asan": ["-DCMAKE_BUILD_TYPE=Debug", "-DZOR_SANITIZE=ON"],
    "tsan": ["-DCMAKE_BUILD_TYPE=Debug", "-DZOR_TSAN=ON"],
}
# Loaded at run time rather than linked: always built with the tests' programs.
LIBRARIES = ["ZOR", "ZorDravionLyn", "zorgrabc"]
TEST_TARGET = re.compile(r"(?:zor_add_test|gtest_discover_tests)\((\w+)[^)]*?\bLABELS? (\w+)", re.S)
# A test of a program of the tree: add_test(NAME <test> COMMAND <target>), labelled apart.
PROGRAM_TEST = re.compile(r"add_test\(NAME (\w+)\s+COMMAND (\w+)")
TEST_LABEL = re.compile(r"set_tests_properties\((\w+) PROPERTIES LABELS (\w+)")


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
                for test, program in PROGRAM_TEST.findall(text):
                    if pattern.search(labels.get(test, "")):
                        found.add(program)
    return sorted(found)
KEYS = {"id", "layer", "file", "original", "replacement", "tests", "build", "description", "equivalent"}


def unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text) and text[i + 1] in "nt\\":
            out.append({"n": "\n", "t": "\t", "\\": "\\"}[text[i + 1]])
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def parse_faults(path):
    """Stanzas of `key: value` lines, separated by blank lines; `#` starts a comment line.
    In original and replacement, `\\n` stands for a line break, `\\t` for a tab and `\\\\` for a
    backslash."""
    faults, current = [], {}
    with open(path, encoding="utf-8") as handle:
        lines = handle.read().splitlines() + [""]
    for number, line in enumerate(lines, 1):
        if line.startswith("#"):
            continue
        if not line.strip():
            if current:
                faults.append(current)
                current = {}
            continue
        key, sep, value = line.partition(":")
        if not sep or key not in KEYS or key in current:
            sys.exit(f"{path}:{number}: expected one of {sorted(KEYS)} once per fault, then ':'")
        current[key] = value.removeprefix(" ")
    ids = set()
    for fault in faults:
        missing = {"id", "layer", "file", "original", "replacement", "tests", "description"} - fault.keys()
        if missing:
            sys.exit(f"{path}: fault {fault.get('id', '?')} lacks {sorted(missing)}")
        if fault["id"] in ids:
            sys.exit(f"{path}: fault {fault['id']} given twice")
        ids.add(fault["id"])
        for key in ("original", "replacement"):
            fault[key] = unescape(fault[key])
        fault.setdefault("build", "asan")
        if fault["build"] not in CONFIGURE:
            sys.exit(f"{path}: fault {fault['id']}: build is asan or tsan")
    return faults


def run(command, log, cwd=None, env=None, timeout=None):
    with open(log, "a", encoding="utf-8") as out:
        out.write("$ " + " ".join(command) + "\n")
        out.flush()
        try:
            return subprocess.run(command, cwd=cwd, env=env, stdout=out, stderr=subprocess.STDOUT,
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            out.write("(timed out)\n")
            return -1


class Copy:
    """One copy of the tree with its build folders, reused from fault to fault."""

    def __init__(self, slot, jobs):
        self.tree = os.path.join(WORK, f"copy-{slot}")
        self.jobs = jobs

    def refresh(self):
        """Makes the copy's files those of the working tree. Files whose content is unchanged are
        left alone and changed ones get a new time: the build stays incremental and never keeps
        an object compiled from a fault's text."""
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
        """Builds the test programs of the selected labels and the libraries they load, or
        everything when the selection names no label."""
        folder = os.path.join(self.tree, "build", kind)
        env = dict(os.environ, CMAKE_BUILD_PARALLEL_LEVEL=str(self.jobs))
        if not os.path.exists(os.path.join(folder, "build.ninja")):
            if run(["cmake", "-S", self.tree, "-B", folder, "-G", "Ninja"] + CONFIGURE[kind], log, env=env):
                return None
        targets = label_targets(self.tree, selection)
        command = ["cmake", "--build", folder]
        if targets:
            command = ["ninja", "-C", folder, "-j", str(self.jobs)] + targets + LIBRARIES
        if run(command, log, env=env):
            return None
        return folder

    def test(self, kind, folder, selection, log, retries=0):
        env = dict(os.environ)
        env.setdefault("ASAN_OPTIONS", "detect_leaks=1")
        env.setdefault("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1")
        supp = os.path.join(self.tree, "tests", "support", "sanitizers", "tsan.supp")
        env.setdefault("TSAN_OPTIONS", f"halt_on_error=1:second_deadlock_stack=1:suppressions={supp}")
        command = ["ctest", "--test-dir", folder, "-j", str(self.jobs), "--timeout", "120",
                   "--output-on-failure", "--no-tests=error"] + selection.split()
        code = run(command, log, env=env, timeout=1800)
        # Tests that fail only now and then on a loaded machine get more tries.
        for _ in range(retries):
            if code == 0:
                break
            code = run(command[:3] + ["--rerun-failed", "--output-on-failure"], log, env=env, timeout=1800)
        return code


def try_fault(copy, fault, log):
    path = os.path.join(copy.tree, fault["file"])
    if not os.path.exists(path):
        return "not applicable", "file not found"
    with open(path, encoding="utf-8") as handle:
        original = handle.read()
    count = original.count(fault["original"])
    if count != 1:
        return "not applicable", f"original text found {count} times"
    try:
        with open(path, "w", encoding="utf-8") as handle:
            handle.write(original.replace(fault["original"], fault["replacement"]))
        folder = copy.build(fault["build"], fault["tests"], log)
        if folder is None:
            return "build failure", "see log"
        code = copy.test(fault["build"], folder, fault["tests"], log)
        return ("survived", "every test passed") if code == 0 else ("killed", "a test failed")
    finally:
        with open(path, "w", encoding="utf-8") as handle:
            handle.write(original)


def main():
    parser = argparse.ArgumentParser(usage=__doc__.split("\n\n")[1].removeprefix("usage: "),
                                     description=__doc__.split("\n\n", 2)[2],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("-j", type=int, default=1, choices=[1, 2], help="copies side by side")
    parser.add_argument("--faults", default=os.path.join(ROOT, "scripts", "mutations", "faults.txt"))
    parser.add_argument("--layer", help="only the faults of this layer")
    parser.add_argument("--list", action="store_true", help="list the faults and stop")
    parser.add_argument("--check", action="store_true",
                        help="tell which faults' original text is not found exactly once, and stop")
    parser.add_argument("--no-baseline", action="store_true",
                        help="skip the run of each area's tests on the tree without faults")
    parser.add_argument("ids", nargs="*", help="only these faults")
    args = parser.parse_args()

    faults = parse_faults(args.faults)
    unknown = set(args.ids) - {fault["id"] for fault in faults}
    if unknown:
        sys.exit(f"unknown fault ids: {sorted(unknown)}")
    chosen = [f for f in faults if (not args.ids or f["id"] in args.ids)
              and (not args.layer or f["layer"] == args.layer)]
    if args.list:
        for fault in chosen:
            print(f"{fault['id']:40} {fault['layer']:14} {fault['description']}")
        return

    if args.check:
        for fault in chosen:
            path = os.path.join(ROOT, fault["file"])
            with open(path, encoding="utf-8") if os.path.exists(path) else open(os.devnull) as handle:
                count = handle.read().count(fault["original"])
            if count != 1:
                print(f"{fault['id']}: original text found {count} times in {fault['file']}")
        return

    os.makedirs(WORK, exist_ok=True)
    jobs = max(1, BUILD_JOBS // args.j)
    copies = [Copy(slot, jobs) for slot in range(args.j)]
    for copy in copies:
        copy.refresh()
    results = {}
    pending = queue.SimpleQueue()
    for fault in chosen:
        if "equivalent" not in fault:
            pending.put(fault)
    for fault in chosen:
        if "equivalent" in fault:
            results[fault["id"]] = ("equivalent", fault["equivalent"])

    # The tests of each area must pass without a fault, or a failure kills nothing.
    broken = set()
    if not args.no_baseline:
        for kind, selection in sorted({(f["build"], f["tests"]) for f in chosen if "equivalent" not in f}):
            log = os.path.join(WORK, f"baseline-{kind}-{re.sub(r'[^a-z0-9]+', '_', selection)}.log")
            if os.path.exists(log):
                os.remove(log)
            folder = copies[0].build(kind, selection, log)
            if folder is None or copies[0].test(kind, folder, selection, log, retries=2) != 0:
                print(f"baseline {kind} {selection}: fails without a fault, see {log}", flush=True)
                broken.add((kind, selection))

    def worker(copy):
        while True:
            try:
                fault = pending.get_nowait()
            except queue.Empty:
                return
            log = os.path.join(WORK, f"{fault['id']}.log")
            if os.path.exists(log):
                os.remove(log)
            started = time.monotonic()
            if (fault["build"], fault["tests"]) in broken:
                verdict = ("baseline failed", "the area's tests fail without the fault")
            else:
                verdict = try_fault(copy, fault, log)
            results[fault["id"]] = verdict
            print(f"{fault['id']:40} {verdict[0]:15} {time.monotonic() - started:6.0f} s  {verdict[1]}",
                  flush=True)

    with concurrent.futures.ThreadPoolExecutor(len(copies)) as pool:
        for done in [pool.submit(worker, copy) for copy in copies]:
            done.result()

    # The verdicts of earlier runs stand for the faults this run left out: a rerun of the
    # survivors gives the report over all faults.
    verdicts = load_verdicts()
    verdicts.update(results)
    verdicts.update({f["id"]: ("equivalent", f["equivalent"]) for f in faults if "equivalent" in f})
    with open(VERDICTS, "w", encoding="utf-8") as out:
        for fault_id, (verdict, detail) in sorted(verdicts.items()):
            out.write(f"{fault_id}\t{verdict}\t{detail}\n")
    print(summary(chosen, results, "this run"))
    report = summary(faults, {f["id"]: verdicts.get(f["id"], ("not run", "")) for f in faults},
                     "all faults, each by its latest run")
    print(report)
    with open(os.path.join(WORK, "report.txt"), "w", encoding="utf-8") as out:
        for fault in faults:
            verdict, detail = verdicts.get(fault["id"], ("not run", ""))
            out.write(f"{fault['id']:40} {verdict:15} {detail}\n")
        out.write(report + "\n")


VERDICTS = os.path.join(WORK, "verdicts.tsv")


def load_verdicts():
    verdicts = {}
    if os.path.exists(VERDICTS):
        with open(VERDICTS, encoding="utf-8") as handle:
            for line in handle:
                fault_id, verdict, detail = line.rstrip("\n").split("\t", 2)
                verdicts[fault_id] = (verdict, detail)
    return verdicts


def summary(faults, results, title):
    columns = ["killed", "survived", "equivalent", "not applicable", "build failure",
               "baseline failed", "not run"]
    table = collections.OrderedDict()
    for fault in faults:
        table.setdefault(fault["layer"], collections.Counter())[results[fault["id"]][0]] += 1
    total = sum(table.values(), collections.Counter())
    lines = ["", f"{title}:", f"{'layer':14} {'faults':>6} " + " ".join(f"{c:>15}" for c in columns)]
    for layer, counts in list(table.items()) + [("all", total)]:
        lines.append(f"{layer:14} {sum(counts.values()):6} " + " ".join(f"{counts[c]:15}" for c in columns))
    judged = total["killed"] + total["survived"]
    if judged:
        lines.append(f"killed {total['killed']} of {judged} non-equivalent faults that ran "
                     f"({100 * total['killed'] / judged:.1f} %)")
    survivors = [f["id"] for f in faults if results[f["id"]][0] not in ("killed", "equivalent")]
    if survivors:
        lines.append("to look at: " + " ".join(survivors))
    return "\n".join(lines)

if __name__ == "__main__":
    main()
