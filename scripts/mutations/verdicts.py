"""The latest verdict of each change, kept from run to run: a rerun of some changes (the
survivors) completes the report of an earlier run over all of them."""

import os
import threading


class Verdicts:
    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        self.entries = {}
        if os.path.exists(path):
            with open(path, encoding="utf-8") as handle:
                for line in handle:
                    self._read(line.rstrip("\n"))

    def _read(self, line):
        fields = line.split("\t", 3)
        if len(fields) == 3:  # written before the time was kept
            fields = [fields[0], fields[1], "0", fields[2]]
        if len(fields) == 4:
            change_id, verdict, seconds, detail = fields
            self.entries[change_id] = (verdict, detail, float(seconds))

    def get(self, change_id):
        """(verdict, detail, seconds), or None for a change never run."""
        return self.entries.get(change_id)

    def record(self, change_id, verdict, detail, seconds):
        """Kept at once, so that an interrupted run loses nothing."""
        with self.lock:
            self.entries[change_id] = (verdict, detail, seconds)
            os.makedirs(os.path.dirname(self.path), exist_ok=True)
            with open(self.path, "a", encoding="utf-8") as out:
                out.write(f"{change_id}\t{verdict}\t{seconds:.0f}\t{detail}\n")

    def compact(self):
        with self.lock, open(self.path, "w", encoding="utf-8") as out:
            for change_id, (verdict, detail, seconds) in sorted(self.entries.items()):
                out.write(f"{change_id}\t{verdict}\t{seconds:.0f}\t{detail}\n")
