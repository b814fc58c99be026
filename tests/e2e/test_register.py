"""A portable copy in a folder named outside the ANSI code page: one copy per desktop; the frame
register, with the frame a user keeps by holding Ctrl, and the toolbar button, seen in the
registry the program writes; the procedure trace, in the trace viewer that runs before it."""
import re
import shutil

from harness import (BIN, BROWSERS, INSTANCES, INSTANCES_KEY, PREFIX, STARTING, TOOLBAR_KEY,
                     VIEWER, E2ETestCase, wait_for, windows_path)

REG_SZ = 1
WM_QUIT, WM_COMMAND, IDM_SAVE = 0x0012, 0x0111, 101
START = re.compile(r"^tamewin START TRACE 1\.0 \d\d-\d\d-\d{4},\d\d:\d\d:\d\d$")
LINE = re.compile(r"^\[tamewin\] \[(\d{5,})\] \[(\d{5,})\.(\d{3})\] (->|<-)(\t*)(\S+) : (.+) : $")
# A line the viewer does not take in time is lost, and so are the lines of the next second
# (modTrace's kStallMs), less a step of the tick count.
STALL_MS = 1000 - 20
FOLDER = "Всплывающие окна 弹窗"  # Wine's ANSI code page here is the Western one


class RegisterTest(E2ETestCase):
    def test_frames_recorded_till_exit_button_mended_start_traced(self):
        s = self.s
        folder = s.files / FOLDER
        folder.mkdir()
        for program in (*BIN.glob("*.exe"), *BIN.glob("*.dll"), VIEWER):
            shutil.copy(program, folder)
        log = folder / "trace.log"
        viewer = s.start(folder / "tametrace.exe", "/log", windows_path(log))
        window = wait_for(lambda: [w for w in s.find_windows(visible=True)
                                   if w.title.startswith("Tamewin Trace")], STARTING,
                          "the trace viewer", viewer)[0]
        s.probe("regset", INSTANCES_KEY, "99999", "0")   # left by a killed copy of either build
        s.probe("regset", INSTANCES_KEY, "abc", "0")     # not a thread id: not ours to delete
        for view in ("32:", "64:"):  # a button whose program is gone takes ours, the text stays
            s.probe("regset", view + TOOLBAR_KEY, "ButtonText", "My own text")
            s.probe("regset", view + TOOLBAR_KEY, "Exec", r"C:\old\place\TAMEWIN.EXE")
        first, second = s.start_ie(), s.start_ie()

        proc, main = s.start_tamewin(folder)
        self.assert_start_traced(log)  # before a second copy traces its own start
        # The viewer's Save goes to the user's Documents, whatever its current folder. Its menu
        # command is posted: a key would race the browsers' frames, still loading, for the focus.
        saved = set(PREFIX.glob("drive_c/users/*/Documents/tametrace-*.log"))
        s.probe("post", window.hwnd, WM_COMMAND, IDM_SAVE)
        wait_for(lambda: set(PREFIX.glob("drive_c/users/*/Documents/tametrace-*.log")) - saved,
                 what="the saved lines in Documents")
        # One copy per desktop, top-most and hidden but for its icon: no taskbar button.
        self.assertTrue(main.topmost)
        self.assertEqual(s.find_windows(pid=main.pid, visible=True), [])
        copy = s.start(folder / "tamewin.exe")
        s.wait_ended(copy, "the second copy to end")
        self.assertEqual((copy.returncode, len(s.tray_icons())), (0, 1))
        # The stale value is gone; the frames' threads are recorded (after the button).
        values = {name: (REG_SZ, "0") for name in (str(first.tid), str(second.tid), "abc")}
        wait_for(lambda: s.reg_values(INSTANCES_KEY) == values, what="the frames' register")
        self.assertIsNone(s.reg_values("32:" + INSTANCES))

        exe = s.reg_values(TOOLBAR_KEY)["Exec"][1]
        self.assertEqual(exe.lower(), windows_path(folder / "tamewin.exe").lower())
        toolbar = {"Default Visible": "Yes", "ButtonText": "My own text", "ToolTip": "Ie Tamewin",
                   "MenuText": "Ie Tamewin", "CLSID": "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}",
                   "Exec": exe, "Icon": exe + ",103", "HotIcon": exe + ",104"}
        toolbar = {name: (REG_SZ, data) for name, data in toolbar.items()}
        for view in ("32:", "64:"):
            self.assertEqual(s.reg_values(view + TOOLBAR_KEY), toolbar, view)

        # A frame opened with Ctrl held (a real key) is the user's: it stays, recorded, till Exit.
        s.xdotool("keydown", "ctrl")
        try:
            wanted = s.start_ie(BROWSERS[-1])
            wait_for(lambda: str(wanted.tid) in s.reg_values(INSTANCES_KEY),
                     what="the frame opened with Ctrl held in the register")
        finally:
            s.xdotool("keyup", "ctrl")
        for frame in (first, wanted):
            s.activate(frame.hwnd)
        for browser in BROWSERS:  # the hook library's bitness and the companion's
            s.popup_closes(browser, what="a frame without Ctrl to close")
        self.assertTrue(s.is_window(wanted.hwnd), "the frame opened with Ctrl held closed")

        self.choose("x")  # Exit
        wait_for(lambda: proc.poll() is not None, what="the program to end")
        self.assertEqual(set(s.reg_values(INSTANCES_KEY)), {"abc"})
        self.assertEqual(s.reg_values(TOOLBAR_KEY), toolbar)
        wait_for(lambda: not s.running("tamehookhost"), what="the companion to end")
        self.assertTrue(s.is_window(first.hwnd) and s.is_window(second.hwnd))

        # Another installed copy's button stays.
        s.probe("regset", TOOLBAR_KEY, "Exec", r"C:\windows\notepad.exe")
        s.start_tamewin()
        wait_for(lambda: len(s.reg_values(INSTANCES_KEY)) == 4, what="the frames recorded again")
        self.assertEqual(s.reg_values(TOOLBAR_KEY)["Exec"][1], r"C:\windows\notepad.exe")

    def assert_start_traced(self, log):
        s = self.s
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

    def test_register_per_user_where_the_machine_refuses(self):
        s = self.s
        refusing = (INSTANCES_KEY, "32:" + TOOLBAR_KEY, "64:" + TOOLBAR_KEY)
        s.probe("regdeny", *refusing)  # as for a standard user
        kept = s.start_ie()
        proc, main = s.start_tamewin()
        user = "HKCU\\" + INSTANCES
        self.assertEqual(set(s.reg_values(user)), {str(kept.tid)})
        s.probe("post", main.hwnd, WM_QUIT)  # ends it as cleanly as Exit
        wait_for(lambda: proc.poll() is not None, what="the program to end")
        self.assertEqual((proc.returncode, s.tray_icons()), (0, []), "exit status, icons left")
        self.assertEqual([s.reg_values(key) for key in (user, *refusing)], [{}] * 4)
