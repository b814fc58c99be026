"""The program starts once per desktop, lives only in the notification area, and ends with the
session, but not with one that another program cancels; the remover waits for it to end."""
import subprocess
import unittest

from harness import BIN, INSTANCES, INSTANCES_KEY, STARTING, E2ETestCase, wait_for, wine

WM_QUERYENDSESSION, WM_ENDSESSION = 0x0011, 0x0016


class StartupTest(E2ETestCase):
    def test_one_hidden_copy_with_one_icon(self):
        s = self.s
        proc, main = s.start_tamewin()
        self.assertTrue(main.topmost, "the main window is top-most")
        # Nothing of ours is visible, the main window neither: no taskbar button, only the icon.
        self.assertEqual(s.find_windows(pid=main.pid, visible=True), [])
        before = s.reg_values(INSTANCES_KEY)
        second = s.start(BIN / "tamewin.exe")
        s.wait_ended(second, "the second copy to end")
        self.assertEqual(second.returncode, 0)
        self.assertEqual(len(s.find_windows(cls="IETamewin.Main")), 1)
        self.assertEqual(len(s.tray_icons()), 1)
        self.assertEqual(s.reg_values(INSTANCES_KEY), before)
        self.assertIsNone(proc.poll(), "the first copy keeps running")

        # Wine's own session end never cancels; Windows sends this when another program does.
        self.assertEqual(s.probe("send", main.hwnd, WM_QUERYENDSESSION, 0).strip(), "1")
        s.probe("send", main.hwnd, WM_ENDSESSION, 0)
        # An exit would have taken the icon away before the answer.
        self.assertEqual(len(s.tray_icons()), 1, "a cancelled session end ended the program")
        self.assertIsNone(proc.poll())
        s.probe("send", main.hwnd, WM_ENDSESSION, 1, check=False)  # may end before it answers
        wait_for(lambda: proc.poll() is not None, what="the program to end with the session")
        self.assertEqual(s.tray_icons(), [])

    def test_the_remover_waits_for_a_copy_to_end_and_stops_for_one_that_does_not(self):
        s = self.s
        # The stand-in copy ends 3 s after it is asked to, or never.
        for stays, wait, code in ((False, 20000, 0), (True, 2000, 1)):
            s.probe("regset", "HKCU\\" + INSTANCES, "7", "0")
            copy = s.start(BIN / "tests" / "tameprobe.exe", "copy", *["stays"][:stays])
            wait_for(lambda: s.find_windows(cls="IETamewin.Main"), STARTING, "the copy", copy)
            done = subprocess.run(wine(BIN / "tameremove.exe", "/user", f"/wait={wait}"),
                                  env=s.env, timeout=60)
            self.assertEqual(done.returncode, code)
            self.assertEqual(bool(s.find_windows(cls="IETamewin.Main")), stays)
            self.assertEqual(s.reg_values("HKCU\\" + INSTANCES) is not None, stays)


if __name__ == "__main__":
    unittest.main()
