"""Pop-up closing against Wine's Internet Explorer: frames of the start stay, others close."""
import time
import unittest

from harness import E2ETestCase, wait_for


class PopupTest(E2ETestCase):
    def test_new_frame_closes_and_start_frame_stays(self):
        s = self.s
        kept = s.start_ie()
        s.start_tamewin()

        popup = s.start_popup()
        wait_for(lambda: popup.poll() is not None, timeout=15,
                 what="the new frame to be closed")

        for _ in range(4):
            s.activate(kept.hwnd)
            time.sleep(0.3)
        self.assertTrue(s.is_window(kept.hwnd), "the frame of the start is never closed")

    def test_start_frame_survives_a_changed_register(self):
        s = self.s
        kept = s.start_ie()
        s.start_tamewin()
        # Another program empties the key and leaves a name that is no thread id.
        s.reg_delete_tree(r"Software\Corvanta\VIVurazoru\Instances")
        s.reg_set(r"Software\Corvanta\VIVurazoru\Instances", "abc", "0")
        popup = s.start_popup()
        wait_for(lambda: popup.poll() is not None, timeout=15,
                 what="the new frame to be closed")
        s.activate(kept.hwnd)
        time.sleep(0.5)
        self.assertTrue(s.is_window(kept.hwnd))


if __name__ == "__main__":
    unittest.main()
