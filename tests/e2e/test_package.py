"""The release as users get it: the MSI installed, started at logon, upgraded and removed while
the program runs; the portable zip started from a fresh folder."""
import shutil
import subprocess
import tempfile
import zipfile
from pathlib import Path

from harness import (ARCH, BROWSERS, PREFIX, ROOT, STARTING, TOOLBAR_KEY, E2ETestCase,
                     wait_for, windows_path)

RUN_KEY = r"Software\Microsoft\Windows\CurrentVersion\Run"
# Where Windows notes that the logon start was turned off (Task Manager, Settings).
APPROVED = "64:" + RUN_KEY.replace("Run", r"Explorer\StartupApproved\Run")
FILES = {"tamewin.exe", "tamehook.dll", "tametrace.exe", "tameremove.exe",
         *({"tamehook32.dll", "tamehookhost32.exe"} if ARCH == "x86_64" else
           {"tamehook64.dll", "tamehookhost64.exe"})}
# The views each package writes the button in; the first is its own, of the Run entry.
VIEWS = ("64:", "32:") if ARCH == "x86_64" else ("32:",)
INSTALL_DIR = PREFIX / "drive_c" / ("Program Files" if ARCH == "x86_64" else
                                    "Program Files (x86)") / "IE Tamewin"


def make_release(out, version=None):
    args = ["--version", version] if version else []
    subprocess.run(["bash", ROOT / "scripts" / "package.sh", *args, "--out", out, ARCH],
                   check=True, stdout=subprocess.DEVNULL)
    return {p.suffix: p for p in Path(out).glob(f"tamewin-*-{ARCH}.*")}


class PackageTest(E2ETestCase):
    @classmethod
    def setUpClass(cls):
        dist = tempfile.TemporaryDirectory(prefix="tamewin-dist-")
        cls.addClassCleanup(dist.cleanup)
        cls.release = make_release(Path(dist.name) / "this")
        major, minor, revision = cls.release[".msi"].name.split("-")[1].split(".")
        cls.newer = make_release(Path(dist.name) / "newer",
                                 f"{major}.{minor}.{int(revision) + 1}")[".msi"]

    def setUp(self):
        shutil.rmtree(PREFIX, ignore_errors=True)  # nothing installed by an earlier run
        super().setUp()

    def wine(self, *args):
        # No pipes: a program the command starts would hold them open.
        return subprocess.run(["wine", *map(str, args)], env=self.s.env, timeout=300,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode

    def exported(self, root):
        out = Path(self.s.files) / "export.reg"
        self.assertEqual(self.wine("regedit", "/e", windows_path(out), root), 0)
        return out.read_bytes().decode("utf-16")

    def test_msi_install_upgrade_removal(self):
        s, msi = self.s, self.release[".msi"]
        self.assertEqual(self.wine("msiexec", "/i", windows_path(msi), "/qn", "STARTATLOGON=1"), 0)
        self.assertEqual({p.name for p in INSTALL_DIR.iterdir()}, FILES)
        shortcut = wait_for(lambda: list(PREFIX.glob("drive_c/**/Programs/IE Tamewin.lnk")))[0]
        exe = "C:" + str(INSTALL_DIR / "tamewin.exe").split("drive_c")[1].replace("/", "\\")
        self.assertIn(exe.encode() + b"\0", shortcut.read_bytes())
        for view in VIEWS:
            button = s.reg_values(view + TOOLBAR_KEY)
            self.assertEqual(button["Exec"][1], exe[:-3] + "EXE")
            self.assertEqual(len(button), 8)
        self.assertEqual(s.reg_values(VIEWS[0] + RUN_KEY)["IE Tamewin"][1], f'"{exe}"')

        if ARCH == "x86_64":
            # A logon: Wine's restart runs the machine's Run entries of its own view.
            self.assertEqual(self.wine("wineboot"), 0)
            wait_for(lambda: s.find_windows(cls="IETamewin.Main"), STARTING, "the start at logon")
        else:
            s.start(INSTALL_DIR / "tamewin.exe")
        wait_for(s.tray_icons, what="the icon")
        s.popup_closes(BROWSERS[-1])

        # The newer package replaces the running one: one product, the logon option kept.
        self.assertEqual(self.wine("msiexec", "/i", windows_path(self.newer), "/qn"), 0)
        self.assertEqual(s.running("tamewin", "tamehookhost"), [])
        self.assertEqual(self.exported("HKEY_LOCAL_MACHINE").count('"ProductName"="IE Tamewin"'), 1)
        self.assertIn("IE Tamewin", s.reg_values(VIEWS[0] + RUN_KEY))

        s.start(INSTALL_DIR / "tamewin.exe")
        wait_for(s.tray_icons, what="the icon")
        s.probe("regset", APPROVED, "IE Tamewin", "off")
        self.assertEqual(self.wine("msiexec", "/x", windows_path(self.newer), "/qn"), 0)
        self.assertEqual(s.reg_values(APPROVED), {})
        self.assertEqual(s.running("tamewin", "tamehookhost"), [])
        # Wine never unloads a hook library from a program the hook entered (the desktop's,
        # here), and its installer leaves a file in use where Windows' deletes it at restart.
        left = {p.name for p in INSTALL_DIR.iterdir()} if INSTALL_DIR.exists() else set()
        self.assertLessEqual(left, {"tamehook.dll", "tamehook32.dll", "tamehook64.dll"})
        self.assertEqual(list(PREFIX.glob("drive_c/**/Programs/IE Tamewin.lnk")), [])
        # The product's registration is gone from the machine's export. Wine's export here
        # has left out keys that were there, so the program's own are read one by one.
        self.assertNotIn("ie tamewin", self.exported("HKEY_LOCAL_MACHINE").lower())
        for key in (r"Software\Corvanta", TOOLBAR_KEY):
            for where in ("64:", "32:", "HKCU\\"):
                self.assertIsNone(s.reg_values(where + key), where + key)
        self.assertNotIn("IE Tamewin", s.reg_values(VIEWS[0] + RUN_KEY) or {})
        self.assertEqual(s.reg_values(APPROVED), {})

    def test_portable_zip(self):
        s = self.s
        folder = Path(s.files) / "portable"
        with zipfile.ZipFile(self.release[".zip"]) as z:
            z.extractall(folder)
        (top,) = folder.iterdir()
        self.assertEqual({p.name for p in top.iterdir()}, FILES | {"README.md"})
        s.start(top / "tamewin.exe")
        wait_for(s.tray_icons, what="the icon")
        s.popup_closes(BROWSERS[0])
