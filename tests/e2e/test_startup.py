"""The program starts once per desktop, lives only in the notification area and leaves
cleanly."""
import unittest

from harness import BIN, INSTANCES_KEY, E2ETestCase, wait_for

WM_QUIT = 0x0012


class StartupTest(E2ETestCase):
    def test_one_hidden_copy_with_one_icon(self):
        s = self.s
        proc, main = s.start_tamewin()
        self.assertFalse(main.visible, "the main window is never shown")
        self.assertTrue(main.topmost, "the main window is top-most")
        # Nothing of ours is visible: no taskbar button, nothing on screen but the icon.
        self.assertEqual(s.find_windows(pid=main.pid, visible=True), [])
        before = s.reg_values(INSTANCES_KEY)
        second = s.start(BIN / "tamewin.exe")
        wait_for(lambda: second.poll() is not None, what="the second copy to end")
        self.assertEqual(second.returncode, 0)
        self.assertEqual(len(s.find_windows(cls="IETamewin.Main")), 1)
        self.assertEqual(len(s.tray_icons()), 1)
        self.assertEqual(s.reg_values(INSTANCES_KEY), before)
        self.assertIsNone(proc.poll(), "the first copy keeps running")

    def test_a_quit_request_ends_it_as_cleanly_as_exit(self):
        s = self.s
        frame = s.start_ie()
        proc, main = s.start_tamewin()
        self.assertIn(str(frame.tid), s.reg_values(INSTANCES_KEY) or {})
        s.probe("post", main.hwnd, WM_QUIT)
        wait_for(lambda: proc.poll() is not None, what="the program to end")
        self.assertEqual(proc.returncode, 0)
        self.assertNotIn(str(frame.tid), s.reg_values(INSTANCES_KEY) or {},
                         "the start's frame is left in the register")
        self.assertEqual(s.tray_icons(), [], "the icon stays behind")


if __name__ == "__main__":
    unittest.main()
