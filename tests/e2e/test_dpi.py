"""The About window at a system DPI of 144, opened from the real tray icon, on a screenshot."""
import subprocess
import unittest

from harness import PREFIX, E2ETestCase, Window, wait_for

DPI = 144
TWIPS = 1440 // DPI  # twips per pixel: the window lays out its design in whole ones


class DpiTest(E2ETestCase):
    SESSION = {"prefix": PREFIX.with_name(f"{PREFIX.name}-dpi{DPI}"), "log_pixels": DPI}

    def test_about_is_laid_out_for_the_dpi_with_no_control_cut(self):
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
        for left, top, right, bottom in (Window(c).rect for c in children):
            self.assertTrue(cl <= left and ct <= top and right <= cr and bottom <= cb, children)
        shot = s.shots / "about.png"
        subprocess.run(["import", "-window", "root", shot], env=s.env, check=True)
        left, top, right, bottom = next(w.rect for w in map(Window, children) if w.cls == "Button")
        ppm = subprocess.run(["convert", shot, "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
                              "-depth", "8", "ppm:-"], capture_output=True, check=True).stdout
        data, width = ppm.split(b"\n", 3)[3], 3 * (right - left)  # after P6, the size and 255
        px = [[tuple(data[y + x:y + x + 3]) for x in range(0, width, 3)]
              for y in range(0, len(data), width)]
        # The button's whole frame is on the screen: each side's middle half in its colour.
        edges = px[0], px[-1], [row[0] for row in px], [row[-1] for row in px]
        middles = {p for e in edges for p in e[len(e) // 4:len(e) * 3 // 4]}
        self.assertEqual(middles, {px[0][len(px[0]) // 2]})
        # The "OK" text, the longest run of rows with dark pixels in the middle half between the
        # frame and the focus rectangle, is 12 rows high (8 at 96 DPI).
        rows = "".join(".#"[any(sum(p) < 250 for p in row[len(row) // 4:len(row) * 3 // 4])]
                       for row in px[4:-4])
        self.assertEqual(max(map(len, rows.split("."))), 12, rows)


if __name__ == "__main__":
    unittest.main()
