"""Pop-ups of Wine's Internet Explorer of each bitness close; frames of the start stay; each
activation brings one scan."""
import time
import unittest

from harness import BROWSERS, E2ETestCase, wait_for


class PopupTest(E2ETestCase):
    def test_new_frames_close_the_start_frames_stay_and_each_activation_scans_once(self):
        s = self.s
        kept = s.start_ie(BROWSERS[0]), s.start_ie(BROWSERS[-1])
        s.start_tamewin()
        scans = self.start_scan_counter()
        for browser in BROWSERS:
            popup = s.start_popup(browser)
            wait_for(lambda: popup.poll() is not None, timeout=15,
                     what=f"the new frame of {browser} to be closed")
        self.activate_and_wait_for_scan(scans, *kept)
        time.sleep(1)
        switches, before = 10, scans()
        for i in range(switches):
            self.activate_and_wait_for_scan(scans, kept[i % 2])
            time.sleep(0.5)  # every report of this activation arrives meanwhile
        per_switch = (scans() - before) / switches
        self.assertLessEqual(per_switch, 1.2, f"{per_switch:.2f} scans per activation")
        self.assertTrue(all(s.is_window(k.hwnd) for k in kept), "a frame of the start closed")


if __name__ == "__main__":
    unittest.main()
