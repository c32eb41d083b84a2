#!/usr/bin/env python3
"""Plants faults one at a time and tells which ones the tests catch.

usage: scripts/mutate.py [-j N] [--faults FILE] [--layer LAYER] [--list | --check] [FAULT_ID...]
       scripts/mutate.py --generate [--seed S] [--per-area N] [--area AREA]... [-j N]
                         [--resume | --survivors] [--list | --report-only] [--report FILE] [MUTANT_ID...]

Hand-written faults (scripts/mutations/faults.txt) are each applied to a copy of the tree under
build/mutation/copy-<n> (never the working tree), the copy's build folder is rebuilt
incrementally (ASan/UBSan Debug like the test build, or ThreadSanitizer for faults whose
`build` is tsan), and the tests of the fault's area run. A fault is killed when a test fails (or
a test program cannot list its tests, or the tests hang past their time limit), survived when
all pass, not applicable when its original text is not found exactly once, a build failure when
the copy no longer compiles. Each area's tests first run without a fault (failures retried
twice, for tests that time out on a loaded machine); an area that still fails reports its faults
as baseline failed. Equivalent faults are reported apart and not run.

--generate makes the faults instead (scripts/mutations/operators.py): at sites of every source
of driver/ and platform/ that the seed samples, per area and with the operators taken in turn,
it turns `<` and `<=`, `>` and `>=`, `==` and `!=`, `&&` and `||` into each other, moves an
integer literal or an index by one, replaces a value of a table row or constant list by its
neighbour, removes a statement that is only a call, swaps two neighbouring arguments that look
of the same type, and inverts a boolean result. Comments, string literals, preprocessor lines
and static_asserts are left alone. The same seed on the same tree gives the same mutants; each
runs the tests of its file's area (stopping at the first failure). Mutants listed in
scripts/mutations/equivalents.txt are reported with their reason and not run. The report
(default build/mutation/generated-report.txt) gives per area the mutants generated, built,
killed, survived and equivalent, and the time, then each survivor with its change.

-j 3 runs three copies side by side (the machine is shared: at most 3), sharing 3 build and
test jobs; ZOR_MUTATION_JOBS=N gives them N on a machine of their own. The verdicts are kept
(build/mutation/verdicts.tsv, generated-verdicts.tsv), so that a rerun of the survivors
completes the report. Not part of CI: it is slow.

Only the programs of the selected labels' tests (those a test runs by $<TARGET_FILE:...> among
them) and what they depend on are rebuilt for a fault (`-L` selections): a library that a test
loads must be named as its dependency (add_dependencies), or the test loads it as last built.
"""

import argparse
import os
import subprocess
import sys
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from mutations import faults as handwritten  # noqa: E402
from mutations import generated, report, runner  # noqa: E402
from mutations.verdicts import Verdicts  # noqa: E402

MUTATIONS = os.path.join(runner.ROOT, "scripts", "mutations")


def arguments():
    parser = argparse.ArgumentParser(usage=__doc__.split("\n\n")[1].removeprefix("usage: "),
                                     description=__doc__.split("\n\n", 2)[2],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("-j", type=int, default=1, choices=[1, 2, 3], help="copies side by side")
    parser.add_argument("--list", action="store_true", help="list the faults or mutants and stop")
    parser.add_argument("--no-baseline", action="store_true",
                        help="skip the run of each area's tests on the tree without faults")
    written = parser.add_argument_group("hand-written faults")
    written.add_argument("--faults", default=os.path.join(MUTATIONS, "faults.txt"))
    written.add_argument("--layer", help="only the faults of this layer")
    written.add_argument("--check", action="store_true",
                         help="tell which faults' original text is not found exactly once, and stop")
    made = parser.add_argument_group("generated mutants")
    made.add_argument("--generate", action="store_true", help="generate the faults")
    made.add_argument("--seed", default="1", help="the sample's seed (default 1)")
    made.add_argument("--per-area", type=int, default=40, help="mutants per area (default 40)")
    made.add_argument("--area", action="append", help="only this area (again for more)")
    made.add_argument("--resume", action="store_true",
                      help="only the mutants not run yet (or whose area's tests failed without them)")
    made.add_argument("--survivors", action="store_true", help="only the mutants that survived")
    made.add_argument("--report-only", action="store_true", help="write the report from the kept verdicts")
    made.add_argument("--report", default=os.path.join(runner.WORK, "generated-report.txt"))
    made.add_argument("--equivalents", default=os.path.join(MUTATIONS, "equivalents.txt"))
    parser.add_argument("ids", nargs="*", help="only these faults or mutants")
    return parser.parse_args()


def printer(verdicts):
    """Keeps and prints each verdict as it comes."""
    lock = threading.Lock()

    def record(change, verdict, detail, seconds):
        verdicts.record(change.id, verdict, detail, seconds)
        with lock:
            print(f"{change.id:60} {verdict:15} {seconds:6.0f} s  {detail}", flush=True)

    return record


def run_changes(args, changes, verdicts):
    copies = runner.prepare_copies(args.j)
    times, broken = ({}, set()) if args.no_baseline else runner.baseline(copies[0], changes)
    runner.run_all(changes, copies, times, broken, printer(verdicts))
    verdicts.compact()


def main_handwritten(args):
    faults = handwritten.parse(args.faults)
    unknown = set(args.ids) - {fault.id for fault in faults}
    if unknown:
        sys.exit(f"unknown fault ids: {sorted(unknown)}")
    chosen = [f for f in faults if (not args.ids or f.id in args.ids) and (not args.layer or f.layer == args.layer)]
    if args.list:
        for fault in chosen:
            print(f"{fault.id:40} {fault.layer:14} {fault.description}")
        return
    if args.check:
        for fault in chosen:
            count = handwritten.occurrences(fault, runner.ROOT)
            if count != 1:
                print(f"{fault.id}: original text found {count} times in {fault.file}")
        return
    verdicts = Verdicts(os.path.join(runner.WORK, "verdicts.tsv"))
    for fault in chosen:
        if fault.equivalent:
            verdicts.record(fault.id, "equivalent", fault.equivalent, 0)
    run_changes(args, [f for f in chosen if not f.equivalent], verdicts)
    latest = {f.id: (verdicts.get(f.id) or ("not run", ""))[:2] for f in faults}
    print(report.fault_summary(chosen, latest, "this run"))
    summary = report.fault_summary(faults, latest, "all faults, each by its latest run")
    print(summary)
    with open(os.path.join(runner.WORK, "report.txt"), "w", encoding="utf-8") as out:
        for fault in faults:
            out.write(f"{fault.id:40} {latest[fault.id][0]:15} {latest[fault.id][1]}\n")
        out.write(summary + "\n")


def chosen_mutants(args, mutants, verdicts, equivalents):
    unknown = set(args.ids) - {m.id for m in mutants}
    if unknown:
        sys.exit(f"not in the sample: {sorted(unknown)}")
    chosen = [m for m in mutants if (not args.ids or m.id in args.ids) and m.id not in equivalents]
    if args.resume:
        # A baseline failure says nothing of the mutant: it runs again.
        chosen = [m for m in chosen if (verdicts.get(m.id) or ("not run",))[0] in ("not run", "baseline failed")]
    if args.survivors:
        chosen = [m for m in chosen if (verdicts.get(m.id) or ("",))[0] == "survived"]
    return generated.interleaved(chosen)


def tree_state():
    def git(*words):
        return subprocess.run(["git", "-C", runner.ROOT] + list(words), capture_output=True, text=True).stdout.strip()
    return git("rev-parse", "--short", "HEAD") + (" with changes" if git("status", "--porcelain", "--", "driver", "platform") else "")


def main_generated(args):
    mutants = generated.sample(runner.ROOT, args.seed, args.per_area, args.area)
    equivalents = generated.read_equivalents(args.equivalents)
    verdicts = Verdicts(os.path.join(runner.WORK, "generated-verdicts.tsv"))
    chosen = chosen_mutants(args, mutants, verdicts, equivalents)
    if args.list:
        for mutant in chosen:
            print(f"{mutant.id}  line {mutant.line}\n    {mutant.original!r} -> {mutant.replacement!r}")
        return
    if not args.report_only:
        run_changes(args, chosen, verdicts)
    heading = [f"Generated mutants: scripts/mutate.py --generate --seed {args.seed} --per-area {args.per_area}"
               + "".join(f" --area {a}" for a in args.area or []), f"Sources of {tree_state()}."]
    text = report.generated_report(mutants, verdicts, equivalents, runner.ROOT, heading)
    os.makedirs(os.path.dirname(os.path.abspath(args.report)), exist_ok=True)
    with open(args.report, "w", encoding="utf-8") as out:
        out.write(text)
    print(report.area_table(mutants, verdicts, equivalents))


def main():
    args = arguments()
    if args.generate:
        main_generated(args)
    else:
        main_handwritten(args)


if __name__ == "__main__":
    main()
