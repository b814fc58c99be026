"""The program starts once per desktop and lives only in the notification area."""
import unittest

from harness import BIN, INSTANCES_KEY, E2ETestCase, wait_for


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


if __name__ == "__main__":
    unittest.main()
