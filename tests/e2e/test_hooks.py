"""The path of Windows 10 and 11 (and Wine 10, not Wine 8), which raise the foreground event at
every activation and tell of every window shown: the hooks go at the first foreground event,
and a frame shown without activation, as of a program in the background, closes at its show."""
import unittest

from harness import BIN, STARTING, WINE_VERSION, WOW64, E2ETestCase, wait_for

SW_HIDE, SW_SHOWNOACTIVATE = 0, 4


@unittest.skipIf(WINE_VERSION < 10, "Wine 8 raises no foreground event and tells of no show")
class HooksTest(E2ETestCase):
    def hook_loaded(self):
        return self.s.probe("hookloaded").strip() == "1"

    def test_hooks_go_at_the_first_foreground_event(self):
        s = self.s
        kept = s.start_ie()
        s.start_tamewin()
        if WOW64:
            wait_for(lambda: s.running("tamehookhost"), STARTING, "the other bitness's companion")
        s.activate(kept.hwnd)
        wait_for(lambda: not self.hook_loaded(), what="the CBT hook to go")
        self.assertEqual(s.running("tamehookhost"), [], "the companion has ended")
        s.popup_closes(what="the new frame to close at its activation")
        self.choose("f")
        self.assert_icon(on=False)
        self.choose("o")
        self.assert_icon(on=True)
        self.assertFalse(self.hook_loaded(), "switched on again, the hooks stay gone")
        s.popup_closes()

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
