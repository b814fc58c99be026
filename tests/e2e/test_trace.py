"""The procedure trace reaches the trace viewer when the viewer runs before the program."""
import re

from harness import INSTANCES_KEY, STARTING, VIEWER, E2ETestCase, wait_for, windows_path

START = re.compile(r"^tamewin START TRACE 1\.0 \d\d-\d\d-\d{4},\d\d:\d\d:\d\d$")
LINE = re.compile(r"^\[tamewin\] \[(\d{5,})\] \[(\d{5,})\.(\d{3})\] (->|<-)(\t*)(\S+) : (.+) : $")
# A line the viewer does not take in time is lost, and so are the lines of the next second
# (modTrace's kStallMs), less a step of the tick count.
STALL_MS = 1000 - 20


class TraceTest(E2ETestCase):
    def test_start_traced_line_by_line(self):
        s = self.s
        log = s.files / "trace.log"
        viewer = s.start(VIEWER, "/log", windows_path(log))
        wait_for(lambda: [w for w in s.find_windows(visible=True)
                          if w.title.startswith("Tamewin Trace")], STARTING, "the trace viewer",
                 viewer)
        s.probe("regset", INSTANCES_KEY, "4242", "0")  # a stale value
        s.start_ie()  # a scan traces the frames it finds
        s.start_tamewin()

        # Scans come only after Sub Main, at depth 0: once a line of one has come, every line of
        # the start has come or been lost. A slow viewer can lose a scan's lines as well.
        def lines_of_a_scan():
            lines = log.read_text().split("\n")[:-1] if log.exists() else []  # whole lines
            if any((m := LINE.match(l)) and not m[5] and m[7] != "Sub Main" for l in lines):
                return lines
            s.probe("hookloaded")  # shows and activates a window of its own: another scan
        lines = wait_for(lines_of_a_scan, what="the trace of a scan after Sub Main")
        started = bool(START.match(lines[0]))
        parsed = [LINE.match(line) for line in lines[started:]]
        self.assertTrue(all(parsed), [l for l, m in zip(lines[started:], parsed) if not m][:3])
        # The start line is number 0, at time 0; a number missing is a line lost.
        sent = [(-1, 0), *[(0, 0)] * started, *((int(m[1]), int(m[2] + m[3])) for m in parsed)]
        gaps = [(a, b) for a, b in zip(sent, sent[1:]) if b[0] != a[0] + 1]
        for (seq, ms), (later, later_ms) in gaps:
            self.assertTrue(later > seq and later_ms - ms >= STALL_MS, (seq, ms, later, later_ms))
        if not gaps:  # all of the start came
            self.assertEqual(parsed[0].group(4, 5, 6, 7), ("->", "", "Module1", "Sub Main"))
            self.assertLessEqual({("Module1", "Function EnumWinProc"),
                                  ("WINAPI32", "Function regstring"),
                                  ("WINAPI32", "Function DeleteRegString")},
                                 {m.group(6, 7) for m in parsed})
