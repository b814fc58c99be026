"""The program starts once per desktop and lives only in the notification area; the remover
ends it before it removes anything."""
import subprocess

from harness import BIN, INSTANCES, STARTING, E2ETestCase, wait_for, wine


class StartupTest(E2ETestCase):
    def test_one_hidden_copy_till_the_remover_ends_it(self):
        s = self.s
        proc, main = s.start_tamewin()
        self.assertTrue(main.topmost, "the main window is top-most")
        # Nothing of ours is visible, the main window neither: no taskbar button, only the icon.
        self.assertEqual(s.find_windows(pid=main.pid, visible=True), [])
        second = s.start(BIN / "tamewin.exe")
        s.wait_ended(second, "the second copy to end")
        self.assertEqual(second.returncode, 0)
        self.assertEqual(len(s.find_windows(cls="IETamewin.Main")), 1)
        self.assertEqual(len(s.tray_icons()), 1)
        self.assertIsNone(proc.poll(), "the first copy keeps running")

        s.probe("regset", "HKCU\\" + INSTANCES, "7", "0")
        done = subprocess.run(wine(BIN / "tameremove.exe", "/user"), env=s.env, timeout=STARTING)
        self.assertEqual(done.returncode, 0)
        self.assertEqual((s.find_windows(cls="IETamewin.Main"), s.tray_icons()), ([], []))
        self.assertIsNone(s.reg_values("HKCU\\" + INSTANCES))
        wait_for(lambda: proc.poll() is not None, what="the program's process to end")
