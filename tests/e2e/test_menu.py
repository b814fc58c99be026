"""The tray menu driven with real clicks and keys on the Wine desktop's notification icon."""
from harness import MENU_CLASS, STARTING, WINE_VERSION, E2ETestCase, wait_for

TRAY_CALLBACK, WM_RBUTTONDOWN, WM_RBUTTONUP = 0x8001, 0x0204, 0x0205


class MenuTest(E2ETestCase):
    def test_menu_at_the_icon_web_item_and_about_by_keys(self):
        s = self.s
        s.record_browser()
        proc, main = s.start_tamewin(debug="fixme+ole")
        # A right click elsewhere, then the shell's answer to a keyboard user choosing the
        # icon (version 0): a right press and release, with no press of the mouse before.
        s.click(300, 300, button=3)
        callback = next(w for w in s.find_windows(pid=main.pid) if w.cls == "TamewinTrayCallback")
        for mouse in (WM_RBUTTONDOWN, WM_RBUTTONUP):
            s.probe("post", callback.hwnd, TRAY_CALLBACK, 1, mouse)
        menu = wait_for(lambda: s.find_windows(cls=MENU_CLASS, visible=True), what="menu")[0]
        icon, (left, top, right, bottom) = s.tray_icons()[0], menu.rect
        # At the icon, not at the click: near the screen's corner the menu opens up and to the
        # left of it (Wine keeps it above the taskbar).
        self.assertLessEqual(abs(bottom - icon.y), 12, menu.rect)
        self.assertTrue(left <= icon.x <= right + 1, menu.rect)
        # The side bar runs from the maker's brownish red at the bottom to black at the top.
        low, high = (tuple(map(int, s.probe("pixel", left + 5, y).split()))
                     for y in (bottom - 6, top + 6))
        self.assertTrue(low[0] > 100 and low[2] < 30 and sum(high) < sum(low), (high, low))
        s.keys_over(self.title_line(menu), "Escape")
        wait_for(lambda: not s.find_windows(cls=MENU_CLASS, visible=True), what="menu gone")

        # The submenu's one item opens the maker's page.
        _, menu = self.open_menu()
        s.keys_over(self.title_line(menu), "b")
        submenu = wait_for(lambda: [w for w in s.find_windows(cls=MENU_CLASS, visible=True)
                                    if w.hwnd != menu.hwnd], what="the submenu")[0]
        s.click(*submenu.center)
        wait_for(lambda: len(s.opened_addresses()) == 1, STARTING, "the maker's page")
        if WINE_VERSION == 8:  # Wine 8's programs run elevated, Wine 10's do not
            # The desktop's shell opened it, with the right to bring it to the front: Wine's
            # stub of that call says so, and names the object.
            pattern = r"CoAllowSetForegroundWindow \((?!0+,)[0-9A-F]+,"
            self.assertRegex(proc.log.read_text(), pattern)

        self.choose("a")
        about = wait_for(lambda: [w for w in s.find_windows(visible=True)
                                  if w.title == "About IE Tamewin..."], what="About")[0]
        self.assertTrue(about.topmost)
        wait_for(lambda: s.has_focus(about), what="the focus in About")
        s.keys_over(about.center, "Tab", "space")  # from the OK button to the link
        wait_for(lambda: len(s.opened_addresses()) == 2, STARTING, "the page from About")
        # The browser is in front now. Back with a click on the logo, the focus is on the
        # link again, where the user left it: Enter follows it; then Esc closes the window.
        self.assertFalse(s.has_focus(about))
        logo = about.rect[0] + 60, about.rect[1] + 80
        s.click_into(about, logo)
        s.keys_over(about.center, "Return")
        wait_for(lambda: len(s.opened_addresses()) == 3, STARTING, "the page again")
        self.assertEqual(set(s.opened_addresses()), {"https://corvanta.example.com/"})
        s.click_into(about, logo)
        s.keys_over(about.center, "Escape")
        wait_for(lambda: not s.is_window(about.hwnd), what="About to close")
