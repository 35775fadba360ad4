#!/usr/bin/python3
"""check_index.py fails on citations of evidence that does not exist, and on
a test that the build does not run (a ctest of the native build, given the
build folder as its argument)."""
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_index  # noqa: E402

with open(os.path.join(HERE, "README.md"), encoding="utf-8") as f:
    README = f.read()
BUILT = check_index.built_tests(sys.argv.pop(1) if len(sys.argv) > 1 else ".")


def with_evidence(text):
    """The real index with TEXT added to the evidence of its first row."""
    row = README.index("\n| `GetVersionExA` |")
    end = README.index(" |\n", row + 1)
    return README[:end] + " " + text + README[end:]


class EvidenceTest(unittest.TestCase):
    def problems(self, readme, built=BUILT):
        return check_index.check(HERE, readme, built)

    def test_each_citation_of_nothing_is_a_problem_of_its_own(self):
        cases = (  # /* citation */ what the problem names
            ("Test: `FilesTest.NoSuchCase`.", "no test FilesTest.NoSuchCase"),                 # 1
            ("Test: `NoSuchSuiteTest.*`.", "no test NoSuchSuiteTest.*"),                       # 2
            ("Test: `Elsewhere/ProfileTest.ReadsAsWindowsDoes`.", "no test Elsewhere/"),       # 3
            ("Wine: scenarios `typical_win98`, `no_such_scenario`.", "no installer scenario no_such_scenario"),  # 4
            ("Wine: scenarios `no_such_*`.", "no installer scenario no_such_*"),              # 5
            ("Wine: emulator scenario `typical_win98`.", "no emulator scenario typical_win98"),  # 6
            ("Code: `src/no_such_file.cpp`.", "no file src/no_such_file.cpp"),                 # 7
            ("Code: `no_such_probe.py`.", "no file no_such_probe.py"),                         # 8
            ("the test `no_such_ctest`.", "no ctest no_such_ctest"),                           # 9
            ("Wine: `file_probe.expected` line 999.", "has no line 999"),                      # 10
            ("Wine: `file_probe.expected` line 1.", "line 1 is no answer"),                    # 11
            ("Wine: `file_probe.expected` line 13.", "does not name GetVersionExA"),           # 12
            ("Wine: file probe line 5.", 'cite the probe as "`file_probe.expected` line N"'),  # 13
        )
        for number, (citation, problem) in enumerate(cases, 1):
            with self.subTest(row=number):
                found = self.problems(with_evidence(citation))
                self.assertEqual(len(found), 1, found)
                self.assertIn(problem, found[0])

    def test_a_test_the_build_does_not_run_is_no_evidence(self):
        # The index cites the code-page tests; a build whose targets leave
        # their file out runs none of them, and each citation is refused.
        unbuilt = {name for name in BUILT if not name.startswith("CodePageTest.")}
        found = self.problems(README, unbuilt)
        self.assertTrue(found)
        for problem in found:
            self.assertRegex(problem, r"no test CodePageTest\.\w+ in the build's tests")

    def test_existing_evidence_in_every_form_is_taken(self):
        for citation in ("Test: `ProfileTest.*`, `Rules/ProfileTest.ReadsAsWindowsDoes`, `FaultNameDeathTest`.",
                         "Wine: scenarios `typical_*` (all three), `suite_key1_empty_path` and `nt_with_only_9x_tree`.",
                         "Wine: emulator scenarios `idle` and `refused_*`.",
                         "Code: `src/faults.cpp`, `sim_*.h`, `tests/scenarios/*.scn`, `run_file_probe.py`."):
            with self.subTest(citation=citation):
                self.assertEqual(self.problems(with_evidence(citation)), [])


if __name__ == "__main__":
    unittest.main()
