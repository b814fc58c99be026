"""The procedure trace reaches the trace viewer when the viewer runs before the program."""
import re
import unittest

from harness import INSTANCES_KEY, VIEWER, E2ETestCase, wait_for, windows_path

LINE = re.compile(r"^\[tamewin\] \[(\d{5,})\] \[\d{5,}\.\d{3}\] (->|<-)(\t*)(\S+) : (.+) : $")


class TraceTest(E2ETestCase):
    def test_start_up_is_traced_line_by_line(self):
        s = self.s
        log = s.shots / "trace.log"
        s.start(VIEWER, "/log", windows_path(log))
        wait_for(lambda: [w for w in s.find_windows(visible=True)
                          if w.title.startswith("Tamewin Trace")], what="the trace viewer")
        s.probe("regset", INSTANCES_KEY, "4242", "0")  # a stale value
        s.start_tamewin()
        # Its exit at depth 0: every procedure entered within it has left.
        main_exit = re.compile(r"\] <-Module1 : Sub Main : ")
        text = wait_for(lambda: log.exists() and main_exit.search(log.read_text()) and
                        log.read_text(), what="the trace of Sub Main")
        lines = text.splitlines()
        self.assertRegex(lines[0], r"^tamewin START TRACE 1\.0 \d\d-\d\d-\d{4},\d\d:\d\d:\d\d$")
        parsed = [LINE.match(line) for line in lines[1:]]
        self.assertTrue(all(parsed), [l for l, m in zip(lines[1:], parsed) if not m][:3])
        self.assertEqual([int(m.group(1)) for m in parsed], list(range(1, len(parsed) + 1)))
        self.assertEqual(parsed[0].group(2, 3, 4, 5), ("->", "", "Module1", "Sub Main"))
        self.assertLessEqual({("Module1", "Function EnumWinProc"),
                              ("WINAPI32", "Function regstring"),
                              ("WINAPI32", "Function DeleteRegString")},
                             {m.group(4, 5) for m in parsed})


if __name__ == "__main__":
    unittest.main()
