"""The frame register and the toolbar button, seen in the registry the program writes."""
import unittest

from harness import BIN, INSTANCES_KEY, TOOLBAR_KEY, E2ETestCase, WM_CLOSE, wait_for, windows_path

REG_SZ = 1


class RegisterTest(E2ETestCase):
    def test_start_records_open_frames_and_exit_deletes_them(self):
        s = self.s
        s.reg_set(INSTANCES_KEY, "99999", "0")   # left by a copy that was killed
        s.reg_set(INSTANCES_KEY, "abc", "0")     # not a thread id: not ours to delete
        first = s.start_ie()
        second = s.start_ie()
        self.assertNotEqual(first.tid, second.tid)

        proc, main = s.start_tamewin()
        values = wait_for(lambda: s.reg_values(INSTANCES_KEY), what="the Instances key")
        self.assertEqual(set(values), {str(first.tid), str(second.tid), "abc"})
        for tid in (first.tid, second.tid):
            self.assertEqual(values[str(tid)], (REG_SZ, "0"))

        toolbar = s.reg_values(TOOLBAR_KEY)
        self.assertEqual(toolbar["Default Visible"], (REG_SZ, "Yes"))
        self.assertEqual(toolbar["ButtonText"], (REG_SZ, "Ie Tamewin"))
        self.assertEqual(toolbar["ToolTip"], (REG_SZ, "Ie Tamewin"))
        self.assertEqual(toolbar["MenuText"], (REG_SZ, "Ie Tamewin"))
        self.assertEqual(toolbar["CLSID"], (REG_SZ, "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}"))
        # The program's own path, with the extension always written ".EXE".
        self.assertTrue(toolbar["Exec"][1].lower().endswith("\\tamewin.exe"), toolbar["Exec"])
        self.assertTrue(toolbar["Exec"][1].endswith(".EXE"), toolbar["Exec"])
        self.assertEqual(toolbar["Icon"][1], toolbar["Exec"][1] + ",103")
        self.assertEqual(toolbar["HotIcon"][1], toolbar["Exec"][1] + ",104")
        self.assertEqual(len(toolbar), 8)

        s.post(main.hwnd, WM_CLOSE)
        wait_for(lambda: proc.poll() is not None, what="the program to end")
        self.assertEqual(set(s.reg_values(INSTANCES_KEY)), {"abc"})
        self.assertEqual(s.reg_values(TOOLBAR_KEY), toolbar)

    def test_toolbar_values_are_added_and_a_dead_button_mended(self):
        s = self.s
        ours = windows_path(BIN / "tamewin.EXE")
        s.reg_delete_tree(TOOLBAR_KEY)
        s.reg_set(TOOLBAR_KEY, "ButtonText", "My own text")
        # Another installed copy's button stays; a button whose program is gone takes ours.
        for exec_value, expected in ((r"C:\windows\notepad.exe", r"C:\windows\notepad.exe"),
                                     (r"C:\old\place\TAMEWIN.EXE", ours)):
            s.reg_set(TOOLBAR_KEY, "Exec", exec_value)
            proc, main = s.start_tamewin()
            toolbar = wait_for(lambda: (lambda v: v if v and len(v) == 8 else None)(
                s.reg_values(TOOLBAR_KEY)), what="the eight toolbar values")
            self.assertEqual(toolbar["ButtonText"][1], "My own text")
            self.assertEqual(toolbar["Exec"][1].lower(), expected.lower())
            s.post(main.hwnd, WM_CLOSE)
            wait_for(lambda: proc.poll() is not None, what="the program to end")

if __name__ == "__main__":
    unittest.main()
