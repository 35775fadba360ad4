"""Known gaps in the Wine runs, in the spirit of Wine's todo_wine.

A scenario marked with a line `gap	wine	REASON` is known to differ under
Wine from what it describes (Windows). It still runs:
  - when it differs, the difference is as known: "GAP name: REASON", counted
    as a known gap, neither passed nor failed;
  - when it agrees, the gap was mended: "FAIL name: known gap mended ...",
    counted as failed, so that the mark is taken away.
A `gap	winsim	REASON` line marks a difference of the simulation; the Wine
runners leave it to the native tests (tests/common/known_gap.h).

The closing lines are "K known gaps" and then "N passed, M failed", which
scripts/test-all.sh counts.
"""

PLATFORMS = ("winsim", "wine")


def gap_of(fields):
    """The reason of a `gap` line for Wine, "" for one of winsim, or None
    when the fields are no gap line."""
    if len(fields) == 3 and fields[0] == "gap" and fields[1] in PLATFORMS and fields[2]:
        return fields[2] if fields[1] == "wine" else ""
    return None


class Tally:
    def __init__(self):
        self.passed = self.failed = self.gaps = 0

    def record(self, name, agrees, gap, note=""):
        """Counts one scenario and prints its line; returns the verdict:
        PASS, FAIL or GAP."""
        if gap:
            verdict = "FAIL" if agrees else "GAP"
        else:
            verdict = "PASS" if agrees else "FAIL"
        if verdict == "GAP":
            self.gaps += 1
            line = "GAP %s: %s" % (name, gap)
        elif verdict == "FAIL" and gap:
            self.failed += 1
            line = "FAIL %s: known gap mended, it agrees now; take the mark away: %s" % (name, gap)
        else:
            self.passed += verdict == "PASS"
            self.failed += verdict == "FAIL"
            line = "%s %s" % (verdict, name)
            if note:
                line += ": " + note
        print(line, flush=True)
        return verdict

    def closing_lines(self):
        return ["%d known gap%s" % (self.gaps, "" if self.gaps == 1 else "s"),
                "%d passed, %d failed" % (self.passed, self.failed)]
