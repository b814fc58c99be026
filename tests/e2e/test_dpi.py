"""The About window at a system DPI of 144, opened from the real tray icon."""
from harness import PREFIX, E2ETestCase, Window, wait_for

DPI = 144
TWIPS = 1440 // DPI  # twips per pixel: the window lays out its design in whole ones


class DpiTest(E2ETestCase):
    SESSION = {"prefix": PREFIX.with_name(f"{PREFIX.name}-dpi{DPI}"), "log_pixels": DPI}

    def test_about_laid_out_for_the_dpi(self):
        s = self.s
        s.start_tamewin()
        self.choose("a")
        about = wait_for(lambda: [w for w in s.find_windows(visible=True)
                                  if w.title == "About IE Tamewin..."], what="About")[0]
        wait_for(lambda: s.has_focus(about), what="the focus in About")
        client, *children = s.probe("children", about.hwnd).splitlines()
        cl, ct, cr, cb = map(int, client.split())
        # The design's 5700 x 3225 twips: 570 x 322 pixels, where 96 DPI gives 380 x 215.
        self.assertEqual((cr - cl, cb - ct), (5700 // TWIPS, 3225 // TWIPS))
        self.assertEqual(len(children), 2, "the button and the link")
        for left, top, right, bottom in (Window(c).rect for c in children):
            self.assertTrue(cl <= left and ct <= top and right <= cr and bottom <= cb, children)
