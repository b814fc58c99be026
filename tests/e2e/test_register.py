"""The frame register, with the frame a user keeps by holding Ctrl, and the toolbar button,
seen in the registry the program writes."""
from harness import (BIN, BROWSERS, INSTANCES, INSTANCES_KEY, TOOLBAR_KEY, E2ETestCase,
                     wait_for, windows_path)

REG_SZ = 1
WM_QUIT = 0x0012


class RegisterTest(E2ETestCase):
    def test_frames_recorded_till_exit_and_button_mended(self):
        s = self.s
        s.probe("regset", INSTANCES_KEY, "99999", "0")   # left by a killed copy of either build
        s.probe("regset", INSTANCES_KEY, "abc", "0")     # not a thread id: not ours to delete
        for view in ("32:", "64:"):  # a button whose program is gone takes ours, the text stays
            s.probe("regset", view + TOOLBAR_KEY, "ButtonText", "My own text")
            s.probe("regset", view + TOOLBAR_KEY, "Exec", r"C:\old\place\TAMEWIN.EXE")
        first, second = s.start_ie(), s.start_ie()

        proc, _ = s.start_tamewin()
        # The stale value is gone; the frames' threads are recorded (after the button).
        values = {name: (REG_SZ, "0") for name in (str(first.tid), str(second.tid), "abc")}
        wait_for(lambda: s.reg_values(INSTANCES_KEY) == values, what="the frames' register")
        self.assertIsNone(s.reg_values("32:" + INSTANCES))

        exe = s.reg_values(TOOLBAR_KEY)["Exec"][1]
        self.assertEqual(exe.lower(), windows_path(BIN / "tamewin.exe").lower())
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
        s.popup_closes(what="a frame without Ctrl to close")
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

    def test_register_per_user_where_the_machine_refuses(self):
        s = self.s
        refusing = (INSTANCES_KEY, "32:" + TOOLBAR_KEY, "64:" + TOOLBAR_KEY)
        s.probe("regdeny", *refusing)  # as for a standard user
        kept = s.start_ie()
        proc, main = s.start_tamewin()
        user = "HKCU\\" + INSTANCES
        self.assertEqual(set(s.reg_values(user)), {str(kept.tid)})
        s.popup_closes()
        self.assertTrue(s.is_window(kept.hwnd))
        s.probe("post", main.hwnd, WM_QUIT)  # ends it as cleanly as Exit
        wait_for(lambda: proc.poll() is not None, what="the program to end")
        self.assertEqual((proc.returncode, s.tray_icons()), (0, []), "exit status, icons left")
        self.assertEqual([s.reg_values(key) for key in (user, *refusing)], [{}] * 4)
