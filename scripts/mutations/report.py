"""The reports: the hand-written faults by layer, the generated mutants by area."""

import collections
import os

FAULT_COLUMNS = ["killed", "survived", "equivalent", "not applicable", "build failure",
                 "baseline failed", "not run"]


def fault_summary(faults, results, title):
    """The hand-written faults' table by layer; results maps a fault's id to (verdict, detail)."""
    table = collections.OrderedDict()
    for fault in faults:
        table.setdefault(fault.layer, collections.Counter())[results[fault.id][0]] += 1
    total = sum(table.values(), collections.Counter())
    lines = ["", f"{title}:", f"{'layer':14} {'faults':>6} " + " ".join(f"{c:>15}" for c in FAULT_COLUMNS)]
    for layer, counts in list(table.items()) + [("all", total)]:
        lines.append(f"{layer:14} {sum(counts.values()):6} " + " ".join(f"{counts[c]:15}" for c in FAULT_COLUMNS))
    judged = total["killed"] + total["survived"]
    if judged:
        lines.append(f"killed {total['killed']} of {judged} non-equivalent faults that ran "
                     f"({100 * total['killed'] / judged:.1f} %)")
    survivors = [f.id for f in faults if results[f.id][0] not in ("killed", "equivalent")]
    if survivors:
        lines.append("to look at: " + " ".join(survivors))
    return "\n".join(lines)


def _verdict(mutant, verdicts, equivalents):
    if mutant.id in equivalents:
        return "equivalent", equivalents[mutant.id], 0.0
    return verdicts.get(mutant.id) or ("not run", "", 0.0)


def _area_counts(mutants, verdicts, equivalents):
    table = collections.OrderedDict()
    for mutant in sorted(mutants, key=lambda m: m.area):
        verdict, detail, seconds = _verdict(mutant, verdicts, equivalents)
        counts = table.setdefault(mutant.area, collections.Counter())
        counts["generated"] += 1
        counts[verdict] += 1
        counts["time-out"] += verdict == "killed" and detail.startswith("time-out")
        counts["seconds"] += seconds
    return table


def _area_line(area, c):
    built = c["killed"] + c["survived"] + c["equivalent"]
    judged = c["killed"] + c["survived"]
    share = f"{100 * c['killed'] / judged:6.1f}" if judged else f"{'-':>6}"
    return (f"{area:14} {c['generated']:9} {built:5} {c['killed']:6} {c['time-out']:8} {c['survived']:8} "
            f"{c['equivalent']:10} {c['not run'] + c['baseline failed']:7} {share:>8} {c['seconds'] / 60:7.0f}")


def area_table(mutants, verdicts, equivalents):
    table = _area_counts(mutants, verdicts, equivalents)
    total = sum(table.values(), collections.Counter())
    lines = [f"{'area':14} {'generated':>9} {'built':>5} {'killed':>6} {'time-out':>8} {'survived':>8} "
             f"{'equivalent':>10} {'not run':>7} {'killed %':>8} {'minutes':>7}"]
    lines += [_area_line(area, counts) for area, counts in table.items()]
    lines.append(_area_line("all", total))
    lines += ["", "built: killed, survived or equivalent (the others did not compile, or did not run); time-out:",
              "of the killed, those whose tests ran past their time limit; killed %: of the killed and the",
              "survivors; minutes: building and testing the mutants, one copy's time."]
    return "\n".join(lines)


def _listing(mutants, root, title):
    lines = ["", title, ""]
    for mutant in sorted(mutants, key=lambda m: (m.area, m.file, m.line)):
        with open(os.path.join(root, mutant.file), encoding="utf-8") as handle:
            text = handle.read()
        lines.append(f"{mutant.file}:{mutant.line}  [{mutant.area}, {mutant.operator}]  {mutant.id}")
        lines += ["    " + line for line in mutant.diff(text).split("\n")]
    return lines


def generated_report(mutants, verdicts, equivalents, root, heading):
    """The table by area, then each survivor with its change, then the equivalent mutants with
    the reason of each."""
    survivors = [m for m in mutants if _verdict(m, verdicts, equivalents)[0] == "survived"]
    lines = heading + ["", area_table(mutants, verdicts, equivalents)]
    lines += _listing(survivors, root, f"Survivors ({len(survivors)}):")
    same = [m for m in mutants if m.id in equivalents]
    lines += ["", f"Equivalent ({len(same)}):", ""]
    lines += [f"{m.id}\n    {equivalents[m.id]}" for m in sorted(same, key=lambda m: m.id)]
    return "\n".join(lines) + "\n"
