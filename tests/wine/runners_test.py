#!/usr/bin/python3
"""The Wine runners without Wine (a ctest of the native build): their
known-gap verdicts and closing lines (known_gaps.py), how they read
scenario files, and how the file probe's answers are compared."""
import contextlib
import io
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "probes"))
import known_gaps  # noqa: E402
import run_emulator_scenarios  # noqa: E402
import run_file_probe  # noqa: E402
import run_installer_scenarios  # noqa: E402

# What scripts/test-all.sh counts.
CLOSING = re.compile(r"^[0-9]+ passed, [0-9]+ failed$")
GAPS = re.compile(r"^[0-9]+ known gaps?$")


def record(tally, *args):
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        verdict = tally.record(*args)
    return verdict, out.getvalue()


class TallyTest(unittest.TestCase):
    def test_unmarked_scenarios_pass_or_fail_on_their_result(self):
        tally = known_gaps.Tally()
        self.assertEqual(record(tally, "a", True, "")[0], "PASS")
        self.assertEqual(record(tally, "b", False, "")[0], "FAIL")
        self.assertEqual((tally.passed, tally.failed, tally.gaps), (1, 1, 0))

    def test_a_marked_scenario_that_differs_is_a_known_gap_with_its_reason(self):
        tally = known_gaps.Tally()
        verdict, line = record(tally, "copy_attributes", False, "Wine keeps the old mode")
        self.assertEqual(verdict, "GAP")
        self.assertEqual(line, "GAP copy_attributes: Wine keeps the old mode\n")
        self.assertEqual((tally.passed, tally.failed, tally.gaps), (0, 0, 1))

    def test_a_marked_scenario_that_agrees_fails_as_mended(self):
        tally = known_gaps.Tally()
        verdict, line = record(tally, "copy_attributes", True, "Wine keeps the old mode")
        self.assertEqual(verdict, "FAIL")
        self.assertIn("known gap mended", line)
        self.assertIn("Wine keeps the old mode", line)
        self.assertEqual((tally.passed, tally.failed, tally.gaps), (0, 1, 0))

    def test_closing_lines_are_the_gap_count_then_the_counted_line(self):
        tally = known_gaps.Tally()
        self.assertEqual(tally.closing_lines(), ["0 known gaps", "0 passed, 0 failed"])
        record(tally, "a", True, "")
        record(tally, "b", False, "why")
        self.assertEqual(tally.closing_lines(), ["1 known gap", "1 passed, 0 failed"])
        self.assertRegex(tally.closing_lines()[0], GAPS)
        self.assertRegex(tally.closing_lines()[1], CLOSING)
        self.assertNotRegex(tally.closing_lines()[0], CLOSING)


class GapLineTest(unittest.TestCase):
    def test_gap_lines_name_a_platform_and_a_reason(self):
        self.assertEqual(known_gaps.gap_of(["gap", "wine", "why"]), "why")
        self.assertEqual(known_gaps.gap_of(["gap", "winsim", "why"]), "")
        for bad in (["gap", "windows", "why"], ["gap", "wine", ""], ["gap", "wine"], ["exit", "0"]):
            self.assertIsNone(known_gaps.gap_of(bad), bad)

    def prepare(self, *lines):
        parsed = [(n, line.split("\t")) for n, line in enumerate(lines, 1)]
        return run_installer_scenarios.prepare(parsed, machine=None)

    def test_the_installer_runner_takes_the_wine_gap_of_a_scenario(self):
        script, expected, _starts, _outcomes, gap, _hands = self.prepare("gap\twine\tWine differs", "exit\t0")
        self.assertEqual(gap, "Wine differs")
        self.assertEqual(expected, ["exit\t0"])
        self.assertEqual(script, [])

    def test_the_disc_goes_back_in_at_the_next_box_only(self):
        script = self.prepare("insert\tD", "box\tWarning\tTry?\tYESNO\tYES", "box\tWarning\tTry?\tYESNO\tNO")[0]
        self.assertEqual(script, ["box\tYES\tD:\\", "box\tNO"])

    def test_a_gap_of_the_simulation_leaves_the_wine_run_as_it_is(self):
        self.assertEqual(self.prepare("gap\twinsim\twinsim differs", "exit\t0")[4], "")

    def test_a_misspelt_line_is_refused(self):
        for lines in (["gap\twindows\twhy"],
                      ["arrives\tHKLM\\K\tN\tT"],  # no status text to wait for
                      ["status\tWait", "box\tW\tT\tOK\tOK", "arrives\tHKLM\\K\tN\tT"]):
            with self.assertRaisesRegex(ValueError, "line %d not understood" % len(lines), msg=lines):
                self.prepare(*lines)

    def test_status_lines_are_only_expected_but_arrivals_and_their_pictures_wait_for_the_text(self):
        script, expected = self.prepare("status\tWait", "shot\ts.bmp", "arrives\tHKLM\\K\tN\tT",
                                        "status\thidden", "dialog\tC\tF\t-1\tA", "shot\td.bmp", "press\tOK")[:2]
        self.assertEqual(script, ["showing\tWait", "statusshot\ts.bmp", "showing\tWait", "regset\tHKLM\\K\tN\tT",
                                  "dialog", "shot\td.bmp", "press\tOK"])
        self.assertEqual(expected, ["status\tWait", "status\thidden", "dialog\tC\tF\t-1\tA"])

    def test_expected_status_lines_are_seen_in_order_between_the_same_boxes(self):
        expected = ["status\tA", "status\tB", "box\tX", "status\thidden", "exit\t0"]
        rows = ((["status\tA", "status\tZ", "status\tB", "box\tX", "status\tC", "status\thidden", "exit\t0"], True),
                (["status\tB", "status\tA", "box\tX", "status\thidden", "exit\t0"], False),  # out of order
                (["status\tA", "box\tX", "status\tB", "status\thidden", "exit\t0"], False),  # after the box
                (["status\tA", "status\tB", "box\tX", "exit\t0"], False),  # one not seen
                (["status\tA", "status\tB", "unexpected\tstatus window over the box", "exit\t259"], False))
        for seen, passes in rows:
            with self.subTest(seen=seen):
                self.assertEqual(run_installer_scenarios.status_lines_as_expected(expected, seen) == expected, passes)


class EmulatorScenarioTest(unittest.TestCase):
    def read(self, *lines):
        return run_emulator_scenarios.Scenario("test.scn", list(lines))

    def test_every_scenario_of_the_folder_reads(self):
        paths = run_emulator_scenarios.scenario_paths([])
        self.assertGreaterEqual(len(paths), 8)
        for path in paths:
            s = run_emulator_scenarios.Scenario(path)
            self.assertTrue(s.title, path)
            self.assertTrue(s.transcript, path)

    def test_boxes_make_the_robot_script_and_the_expected_transcript(self):
        s = self.read("box\tQTMPU\tFail\tOK\tOK", "exit\t0")
        self.assertEqual(s.script, ["box\tOK"])
        self.assertEqual(s.transcript, ["box\tQTMPU\tFail\tOK\tOK", "exit\t0"])

    def test_message_runs_expand_in_order_between_the_named_calls(self):
        s = self.read("synth\tStartMidi", "messages\t00FFFFFE\t3", "synth\tStopMidi")
        self.assertEqual(s.synth, ["StartMidi", "MidiMessage 00FFFFFE", "MidiMessage 00FFFFFF",
                                   "MidiMessage 01000000", "StopMidi"])

    def test_an_instant_becomes_one_driver_line_of_consecutive_messages(self):
        s = self.read("driver\tsong", "instant\t2500\t00FFFFFE\t3", "driver\tsong end")
        self.assertEqual(s.driver, ["song", "at 2500 00FFFFFE 00FFFFFF 01000000", "song end"])

    def test_a_song_scenario_keeps_its_deadlines_unless_the_song_sets_them(self):
        s = self.read("song\tshort", "exit\t77")
        self.assertEqual((s.song, s.has_deadline), ("short", False))
        s = self.read("song\ttests/wine/song/x.mid", "deadline\t1000\t5", "exit\t77")
        self.assertEqual((s.song, s.has_deadline, s.deadline_ms, s.limit_s), ("tests/wine/song/x.mid", True, 1000, 5))

    def test_a_gap_for_wine_is_taken_and_one_for_winsim_is_not(self):
        self.assertEqual(self.read("gap\twine\twhy", "exit\t0").gap, "why")
        self.assertEqual(self.read("gap\twinsim\twhy", "exit\t0").gap, "")

    def test_lines_not_understood_are_refused_with_their_place(self):
        for bad in ("library\tOTHER.DLL", "deadline\tsoon\t120", "device\tmany\t.*", "versions\twin98",
                    "box\tQTMPU\tFail\tOK", "instant\t0\t00900000", "song"):
            with self.assertRaisesRegex(ValueError, r"\.scn:2: line not understood", msg=bad):
                self.read("exit\t0", bad)



class FileProbeTest(unittest.TestCase):
    def test_the_stored_answers_ask_windows_95_98_and_nt_4_the_same_questions_in_order(self):
        expected = run_file_probe.read_expected()
        self.assertEqual(set(expected), {"win95", "win98", "nt40"})
        questions = {version: [answer.partition(": ")[0] for answer in answers]
                     for version, answers in expected.items()}
        self.assertTrue(questions["win98"])
        for version in ("win95", "nt40"):
            self.assertEqual(questions[version], questions["win98"], version)

    def test_every_stored_answer_counts_once_and_any_other_answer_fails(self):
        wanted = ["a: 1", "b: 2"]
        for got, counts in ((["a: 1", "b: 2"], (2, 0)), (["a: 1", "b: 3"], (1, 1)), (["a: 1"], (1, 1)),
                            (["a: 1", "b: 2", "c: 3"], (2, 1)), ([], (0, 2))):
            with self.subTest(got=got), contextlib.redirect_stdout(io.StringIO()):
                self.assertEqual(run_file_probe.compare("win98", got, wanted), counts)


if __name__ == "__main__":
    unittest.main()
