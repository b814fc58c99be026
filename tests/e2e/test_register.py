"""The frame register and the toolbar button, seen in the registry the program writes."""
import unittest

from harness import (BIN, INSTANCES, INSTANCES_KEY, TOOLBAR_KEY, E2ETestCase, WM_CLOSE, wait_for,
                     windows_path)

REG_SZ = 1
WM_QUIT = 0x0012


class RegisterTest(E2ETestCase):
    def test_start_records_open_frames_and_exit_deletes_them(self):
        s = self.s
        s.probe("regset", INSTANCES_KEY, "99999", "0")   # left by a killed copy of either build
        s.probe("regset", INSTANCES_KEY, "abc", "0")     # not a thread id: not ours to delete
        first, second = s.start_ie(), s.start_ie()

        proc, _ = s.start_tamewin()
        values = wait_for(lambda: s.reg_values(INSTANCES_KEY), what="the Instances key")
        # The stale value is gone; the frames' threads are recorded.
        self.assertEqual(values, {name: (REG_SZ, "0") for name in (str(first.tid),
                                                                    str(second.tid), "abc")})
        self.assertIsNone(s.reg_values("32:" + INSTANCES))

        exe = s.reg_values(TOOLBAR_KEY)["Exec"][1]
        toolbar = {"Default Visible": "Yes", "ButtonText": "Ie Tamewin", "ToolTip": "Ie Tamewin",
                   "MenuText": "Ie Tamewin", "CLSID": "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}",
                   "Exec": exe, "Icon": exe + ",103", "HotIcon": exe + ",104"}
        toolbar = {name: (REG_SZ, data) for name, data in toolbar.items()}
        for view in ("32:", "64:"):
            self.assertEqual(s.reg_values(view + TOOLBAR_KEY), toolbar, view)

        self.choose("x")  # Exit
        wait_for(lambda: proc.poll() is not None, what="the program to end")
        self.assertEqual(set(s.reg_values(INSTANCES_KEY)), {"abc"})
        self.assertEqual(s.reg_values(TOOLBAR_KEY), toolbar)
        wait_for(lambda: not s.companions(), what="the companion to end with the program")
        self.assertTrue(s.is_window(first.hwnd) and s.is_window(second.hwnd))

    def test_toolbar_values_are_added_and_a_dead_button_mended(self):
        s = self.s
        ours = windows_path(BIN / "tamewin.EXE")
        s.probe("regset", TOOLBAR_KEY, "ButtonText", "My own text")
        # Another installed copy's button stays; a button whose program is gone takes ours.
        for exec_value, expected in ((r"C:\windows\notepad.exe", r"C:\windows\notepad.exe"),
                                     (r"C:\old\place\TAMEWIN.EXE", ours)):
            s.probe("regset", TOOLBAR_KEY, "Exec", exec_value)
            proc, main = s.start_tamewin()
            toolbar = wait_for(lambda: (lambda v: v if v and len(v) == 8 else None)(
                s.reg_values(TOOLBAR_KEY)), what="the eight toolbar values")
            self.assertEqual(toolbar["ButtonText"][1], "My own text")
            self.assertEqual(toolbar["Exec"][1].lower(), expected.lower())
            s.probe("post", main.hwnd, WM_CLOSE)
            wait_for(lambda: proc.poll() is not None, what="the program to end")

    def test_where_the_machine_key_refuses_the_register_is_per_user_and_a_quit_clears_it(self):
        s = self.s
        refusing = (INSTANCES_KEY, "32:" + TOOLBAR_KEY, "64:" + TOOLBAR_KEY)
        s.probe("regdeny", *refusing)  # as for a standard user
        kept = s.start_ie()
        proc, main = s.start_tamewin()
        user = "HKCU\\" + INSTANCES
        self.assertEqual(set(s.reg_values(user)), {str(kept.tid)})
        popup = s.start_popup()
        wait_for(lambda: popup.poll() is not None, timeout=15, what="the new frame to be closed")
        self.assertTrue(s.is_window(kept.hwnd))
        s.probe("post", main.hwnd, WM_QUIT)  # ends it as cleanly as Exit
        wait_for(lambda: proc.poll() is not None, what="the program to end")
        self.assertEqual((proc.returncode, s.tray_icons()), (0, []), "exit status, icons left")
        self.assertEqual([s.reg_values(key) for key in (user, *refusing)], [{}] * 4)


if __name__ == "__main__":
    unittest.main()
