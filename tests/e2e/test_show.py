"""A browser frame shown without activation, as Windows shows a window of a program in the
background: closed at its show where the system tells of shows (Windows, and Wine 10), with
nothing activated; a frame of the start shown again stays."""
import unittest

from harness import BIN, STARTING, WINE_VERSION, E2ETestCase, wait_for

SW_HIDE, SW_SHOWNOACTIVATE = 0, 4


@unittest.skipIf(WINE_VERSION < 10, "Wine 8 tells of no show: such a frame closes at the next "
                                    "activation, as the activation tests show")
class ShowTest(E2ETestCase):
    def test_quiet_frame_closed_at_its_show(self):
        s = self.s
        s.start(BIN / "tests" / "tameprobe.exe", "frame")
        kept = wait_for(lambda: s.find_windows(cls="IEFrame", visible=True), STARTING,
                        "a frame of the start")[0]
        s.start_tamewin()
        for command in (SW_HIDE, SW_SHOWNOACTIVATE):
            s.probe("show", kept.hwnd, command)
        # The program handles shows in turn: the quiet frame's close comes after the other's.
        closed, same_foreground = s.probe("quietframe").split()
        self.assertEqual((closed, same_foreground), ("closed", "1"), "closed, nothing activated")
        self.assertTrue(s.is_window(kept.hwnd), "the frame of the start shown again stays")
