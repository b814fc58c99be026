"""Pop-ups of Wine's Internet Explorer of each bitness close; frames of the start stay."""
import unittest

from harness import BROWSERS, INSTANCES_KEY, E2ETestCase, wait_for


class PopupTest(E2ETestCase):
    def test_new_frames_close_and_the_start_frame_stays_whatever_the_register_holds(self):
        s = self.s
        kept = s.start_ie(BROWSERS[0]), s.start_ie(BROWSERS[-1])
        s.start_tamewin()
        scans = self.start_scan_counter()
        for changed_register in (False, True):
            if changed_register:
                # Another program empties the key and leaves a name that is no thread id.
                s.probe("regdeletetree", INSTANCES_KEY)
                s.probe("regset", INSTANCES_KEY, "abc", "0")
            for browser in BROWSERS:
                popup = s.start_popup(browser)
                wait_for(lambda: popup.poll() is not None, timeout=15,
                         what=f"the new frame of {browser} to be closed")
            self.activate_and_wait_for_scan(scans, *kept)
            self.assertTrue(all(s.is_window(k.hwnd) for k in kept), "a frame of the start closed")


if __name__ == "__main__":
    unittest.main()
