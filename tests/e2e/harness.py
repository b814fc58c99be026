"""End-to-end harness: the real tamewin.exe under Wine on a private Xvfb display, in a Wine
virtual desktop with a taskbar, beside Wine's own Internet Explorer. A session ends every process
it started (its Xvfb, its prefix's wineserver), also when a test fails."""
import functools
import os
import signal
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
# The build under test and the Wine mode (scripts/wine.sh; ctest passes both). Each mode
# has a prefix of its own, as a prefix made in one cannot serve the other.
ARCH = os.environ.get("TAMEWIN_ARCH") or os.environ.get("TAMEWIN_MAIN_ARCH", "x86_64")
BIN = Path(os.environ.get("TAMEWIN_BIN", ROOT / "build" / ARCH))
WINE_VERSION = int(os.environ.get("TAMEWIN_WINE_VERSION", "8"))
PREFIX_TAG = os.environ.get("TAMEWIN_PREFIX_TAG", "wow64")
PREFIX = Path(os.environ.get("TAMEWIN_E2E_PREFIX", BIN / f"e2e-prefix-{PREFIX_TAG}"))
# Wine's Internet Explorer of each bitness; the 32-bit one only in the WoW64 mode.
IE64 = r"C:\Program Files\Internet Explorer\iexplore.exe"
WOW64 = os.environ.get("TAMEWIN_WINE_ARCH") == "wow64"
BROWSERS = (IE64, r"C:\Program Files (x86)\Internet Explorer\iexplore.exe") if WOW64 else (IE64,)
MENU_CLASS = "#32768"
# A 32-bit viewer under emulation can take longer over a line than the program waits for it.
VIEWER = (BIN.parent / "x86_64" if os.getenv("TAMEWIN_EMUL32") == "1" else BIN) / "tametrace.exe"

# Keys as the probe names them, "[32:|64:][HKCU\]PATH"; the register is in the 64-bit view.
INSTANCES = r"Software\Corvanta\VIVurazoru\Instances"
INSTANCES_KEY = "64:" + INSTANCES
TOOLBAR_KEY = (r"Software\Microsoft\Internet Explorer\Extensions"
               r"\{CFF32220-C089-11d3-9A6C-00104BD4D490}")


# Wine 8's `wine` in the WoW64 mode is its 32-bit loader, which hands a 64-bit program on to
# start.exe, a 32-bit program that starts it in turn. Under emulation that hand-over now and then
# loses the new process before it has started (start.exe: "ShellExecuteEx failed: Internal
# error"). Windows starts a program directly, so a 64-bit one starts here by the 64-bit loader.
WINE64 = "/usr/lib/wine/wine64" if WOW64 and WINE_VERSION == 8 else "wine"


@functools.cache
def loader(path):
    """The loader for the program at path, by its PE header's machine; each file read once."""
    try:
        with open(path, "rb") as f:
            head = f.read(1024)
        pe = int.from_bytes(head[0x3C:0x40], "little")
        return WINE64 if head[pe + 4:pe + 6] == b"\x64\x86" else "wine"
    except (OSError, ValueError):
        return "wine"  # a builtin's name


def wine(program, *args):
    """The command line that runs program (a path here, a Windows path, or a builtin's name)."""
    path = str(program)
    if path[1:3] == ":\\":
        path = str(PREFIX / "drive_c" / path[3:].replace("\\", "/"))
    return [loader(path), str(program), *map(str, args)]


def windows_path(path):
    """The Wine path of a file of this machine (drive Z: is the root)."""
    return "Z:" + str(path).replace("/", "\\")


# How long a program's start may take: a loaded machine shares out the CPU time it needs (a
# browser under emulation showed its frame after 1.6 s at a load of 1.5, after 10 s at 13).
STARTING = 120.0


def wait_for(predicate, timeout=20.0, what="condition", proc=None):
    """Polls until predicate() gives a true value and returns it; fails the test at the deadline,
    or as soon as proc, the started program it waits on, has ended."""
    deadline = time.monotonic() + timeout
    while not (value := predicate()):
        if proc and proc.poll() is not None:
            raise AssertionError(f"{proc.args[1]} ended ({proc.returncode}) before {what}: "
                                 f"{proc.log.read_text()!r}")
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(0.1)
    return value


class Window:
    """A top-level window as the probe lists it."""

    def __init__(self, line):
        f = line.split("\t")
        self.hwnd, self.tid, self.pid = int(f[0]), int(f[1]), int(f[2])
        self.visible, self.topmost = f[3] == "1", f[4] == "1"
        self.rect = left, top, right, bottom = tuple(int(v) for v in f[5:9])
        self.cls, self.title = f[9], f[10] if len(f) > 10 else ""
        self.center = (left + right) // 2, (top + bottom) // 2


class TraySlot:
    """An occupied slot of the notification area. Image 3 (blocking on) has a green shield;
    image 4 (off) a red slash and no green."""

    def __init__(self, line):
        _, self.x, self.y, _, green, red = map(int, line.split("\t"))
        self.center, self.shows_on = (self.x, self.y), green > 0 and red == 0


class Session:
    """One Xvfb display and one running wineserver for the shared end-to-end prefix."""

    def __init__(self):
        self.procs, self.xvfb, self.env = [], None, None
        self.files = Path(tempfile.mkdtemp(prefix="tamewin-e2e-"))
        self.browser_log = self.files / "browser.log"

    def open(self):
        subprocess.run([ROOT / "scripts" / "wine.sh", "prefix", PREFIX], check=True)
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp"], pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            display = f.readline().strip()
        if not display:
            raise RuntimeError("Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=f":{display}", WINEPREFIX=str(PREFIX),
                        WINEDEBUG=os.environ.get("TAMEWIN_E2E_WINEDEBUG", "-all,err+all"),
                        WINEDLLOVERRIDES="mscoree,mshtml=",
                        TAMEWIN_BROWSER_LOG=windows_path(self.browser_log))
        self.start(BIN / "tests" / "tameprobe.exe", "hold")
        # The desktop with its taskbar comes up with the first program.
        wait_for(lambda: self.find_windows(cls="Shell_TrayWnd", visible=True), timeout=60,
                 what="taskbar")

    def close(self):
        if self.env:
            for flag in ("-k", "-w"):
                subprocess.run(["wineserver", flag], env=self.env, stderr=subprocess.DEVNULL)
        for p in self.procs:
            if p.poll() is None:
                p.kill()
            p.wait()
        self.procs.clear()
        if self.xvfb:
            self.xvfb.send_signal(signal.SIGTERM)
            self.xvfb.wait()
            self.xvfb = None

    def probe(self, *args, check=True):
        # Output goes through a file, not a pipe: a Wine service started meanwhile can inherit
        # a pipe and hold it open long after the program has ended.
        with tempfile.TemporaryFile("w+", encoding="utf-8", errors="replace") as out, \
                tempfile.TemporaryFile("w+", encoding="utf-8", errors="replace") as err:
            done = subprocess.run(wine(BIN / "tests" / "tameprobe.exe", *args),
                                  env=self.env, stdout=out, stderr=err, timeout=60)
            out.seek(0), err.seek(0)
            if check and done.returncode != 0:  # Wine's start.exe tells its failures on stdout
                raise AssertionError(f"tameprobe {args} failed ({done.returncode}): "
                                     f"{out.read()!r} {err.read()!r}")
            return out.read()

    def start(self, *args, debug=None):
        """debug: Wine's messages of these channels too, in the program's log."""
        log = self.files / f"{len(self.procs)}.log"  # what Wine says when the start fails
        env = dict(self.env, WINEDEBUG=f"{self.env['WINEDEBUG']},{debug}") if debug else self.env
        with open(log, "w") as out:
            p = subprocess.Popen(wine(*args), env=env, stdout=out, stderr=subprocess.STDOUT)
        p.log = log
        self.procs.append(p)
        return p

    def start_tamewin(self, folder=BIN, debug=None):
        before = {w.hwnd for w in self.find_windows(cls="IETamewin.Main")}
        proc = self.start(folder / "tamewin.exe", debug=debug)
        main = wait_for(lambda: [w for w in self.find_windows(cls="IETamewin.Main")
                                 if w.hwnd not in before], STARTING, "tamewin's main window",
                        proc)[0]
        wait_for(self.tray_icons, what="tray icon")
        return proc, main

    def popup_closes(self, browser=IE64, what="the new frame to be closed"):
        """A browser whose frame may be closed before anyone sees it: its process ends."""
        self.wait_ended(self.start(browser, "about:blank"), what)

    @staticmethod
    def wait_ended(proc, what):
        """Waits for a started program to end, which includes its start."""
        wait_for(lambda: proc.poll() is not None, STARTING, what)

    def start_ie(self, browser=IE64):
        before = {w.hwnd for w in self.find_windows(cls="IEFrame")}
        proc = self.start(browser, "about:blank")
        return wait_for(lambda: [w for w in self.find_windows(cls="IEFrame", visible=True)
                                 if w.hwnd not in before], STARTING, "a new IEFrame", proc)[0]

    def record_browser(self):
        """Pages the program opens go to a stand-in browser, which notes them in browser_log."""
        command = f'"{windows_path(BIN / "tests" / "tamebrowser.exe")}" %1'
        for scheme in ("http", "https"):
            self.probe("regset", rf"Software\Classes\{scheme}\shell\open\command", "", command)

    def find_windows(self, cls=None, visible=None, pid=None):
        windows = [Window(line) for line in self.probe("windows").splitlines() if line]
        return [w for w in windows
                if (cls is None or w.cls == cls) and (visible is None or w.visible == visible)
                and (pid is None or w.pid == pid)]

    def has_focus(self, window):
        """Whether the window is in front with the focus in it, as a user sees before typing:
        Wine drops a key that comes before the window's thread has taken its activation."""
        foreground, active, focus = map(int, self.probe("foreground").split())
        return foreground == active == window.hwnd and focus != 0

    def is_window(self, hwnd):
        return any(w.hwnd == hwnd for w in self.find_windows())

    def running(self, *names):
        return [line for line in self.probe("processes").splitlines()
                if line.split("\t")[1].lower().startswith(names)]

    def tray_icons(self):
        """The occupied slots of the taskbar's notification area, rightmost first."""
        return [TraySlot(line) for line in self.probe("trayslots").splitlines() if line]

    def reg_values(self, path):
        """Value names of a key mapped to (type, data); None when the key is missing."""
        out = self.probe("regvalues", path)
        rows = ((line.split("\t") + [""] * 3)[:3] for line in out.splitlines())
        return None if out.strip() == "NOKEY" else {n: (int(t), data) for n, t, data in rows}

    def opened_addresses(self):
        return self.browser_log.read_text().split() if self.browser_log.exists() else []

    def activate(self, hwnd):
        self.probe("activate", hwnd, check=False)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True)

    def click(self, x, y, button=1):
        self.xdotool("mousemove", x, y, "click", button)

    def click_into(self, window, point):
        """Comes back to a window as a user does: a click, then a look that it has the focus."""
        self.click(*point)
        wait_for(lambda: self.has_focus(window), what=f"the focus in {window.title!r}")

    def keys_over(self, point, *keys):
        """Real key presses for the window under a point. Without a window manager the X
        keyboard focus stays where Wine last put it; on the root window, the X server gives
        keys to the window under the pointer instead."""
        info = subprocess.run(["xwininfo", "-root"], env=self.env, check=True,
                              capture_output=True, text=True).stdout
        root = info.split("Window id:")[1].split()[0]
        self.xdotool("mousemove", *point)
        self.xdotool("windowfocus", root)
        self.xdotool("key", *keys)


class E2ETestCase(unittest.TestCase):
    """A fresh session per test, with the program's registry keys cleared first."""

    def setUp(self):
        self.s = Session()
        self.addCleanup(self.s.close)  # also when the session fails to come up
        self.s.open()
        self.s.probe("regdeletetree", "HKCU\\" + INSTANCES,
                     *(view + key for view in ("32:", "64:") for key in (INSTANCES, TOOLBAR_KEY)))

    def open_menu(self):
        """Right-clicks the program's icon; returns the icon and the open menu."""
        s = self.s
        icon = s.tray_icons()[0]
        s.click(*icon.center, button=3)
        menu = wait_for(lambda: s.find_windows(cls=MENU_CLASS, visible=True), timeout=10,
                        what="the tray menu")[0]
        return icon, menu

    @staticmethod
    def title_line(menu):
        """A point on the menu's title line, which no key or pointer can choose."""
        left, top, right, _ = menu.rect
        return (left + right) // 2, top + 5

    def choose(self, accelerator):
        _, menu = self.open_menu()
        self.s.keys_over(self.title_line(menu), accelerator)
        wait_for(lambda: not self.s.find_windows(cls=MENU_CLASS, visible=True),
                 what="the menu to close")

    def assert_icon(self, on):
        wait_for(lambda: self.s.tray_icons()[0].shows_on == on,
                 what="the on image" if on else "the off image")
