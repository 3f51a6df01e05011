#!/usr/bin/env python3
"""The built program on a real desktop: an X server (Xvfb) with a window manager (openbox), driven by
real input events (xdotool), looked at in screenshots of the screen. Each test starts its own server
on a free display, runs the program from a fresh copy of its folder with a home of its own, and ends
everything it started. Where permissions matter the program runs as an ordinary user.

    desktop_test.py --program build/default/src/app/patchlens --samples samples [unittest options]
"""

import argparse
import os
import pwd
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time
import unittest

PROGRAM = None  # the built `patchlens`; `patchlens-window` lies beside it
SAMPLES = None

MAIN_TITLE = r"^Patchlens \[ Version: 1\.21 \]$"
MESSAGE_TITLE = r"^Patchlens$"
SEARCH_TITLE = r"^Search Patch$"

# Client-area layout of the main window (x, y, width, height).
PANEL_LISTS = [(20, 60, 58, 20)] + [(x, y, 93, 100) for y in (60, 200) for x in (85, 185, 285, 385, 485)] + [
    (85, 340, 93, 100), (185, 340, 93, 100), (385, 340, 93, 100), (485, 340, 93, 100)]
NAME_FIELD = (290, 10, 80, 20)
PATCH_LIST = (602, 55, 175, 462)
LIBRARY_SELECTOR = (20, 470, 150, 20)
LIBRARY_NAMES = (385, 465, 193, 52)


def wait_until(check, timeout=20.0, what="a condition"):
    """Polls `check` until it returns something true; fails after `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while True:
        result = check()
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.05)


def stays_false(check, duration):
    """True when `check` stays false for `duration` seconds (a thing that must not happen)."""
    deadline = time.monotonic() + duration
    while time.monotonic() < deadline:
        if check():
            return False
        time.sleep(0.05)
    return True


class Image:
    """A screenshot as RGB bytes."""

    def __init__(self, ppm):
        header, rest = [], ppm
        while len(header) < 4:  # P6, width, height, maxval, separated by whitespace
            rest = rest.lstrip()
            end = next(i for i, c in enumerate(rest) if c in b" \t\r\n")
            header.append(rest[:end])
            rest = rest[end:]
        if header[0] != b"P6" or header[3] != b"255":
            raise ValueError("not an 8-bit PPM picture")
        self.width, self.height = int(header[1]), int(header[2])
        self.pixels = rest[1:]

    def pixel(self, x, y):
        at = 3 * (y * self.width + x)
        return tuple(self.pixels[at:at + 3])

    def region(self, x, y, w, h):
        return [[self.pixel(x + i, y + j) for i in range(w)] for j in range(h)]


class Desktop:
    """An X server with openbox on a display nobody else uses."""

    def __init__(self):
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-ac", "-nolisten", "tcp"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
        os.close(read)
        self.display = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.display)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.manager = None
        try:
            wait_until(lambda: subprocess.run(["xprop", "-root", "-len", "0"], env=self.env,
                                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0,
                       what="the X server to take connections")
            self.start_manager()
        except BaseException:
            self.close()
            raise

    def start_manager(self):
        log = tempfile.TemporaryFile()
        self.manager = subprocess.Popen(["openbox"], env=self.env, stdout=log, stderr=subprocess.STDOUT)

        def managing():
            if self.manager.poll() is not None:
                log.seek(0)
                raise RuntimeError(f"openbox ended with status {self.manager.returncode} on {self.display}"
                                   f" (the server {'has ended' if self.server.poll() is not None else 'runs'}): "
                                   + log.read().decode(errors="replace"))
            return b"window id" in self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False)
        wait_until(managing, what="openbox")

    def run(self, command, check=True):
        return subprocess.run(command, env=self.env, check=check, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL).stdout

    def close(self):
        for process in (self.manager, self.server):
            if process is None:
                continue
            process.terminate()
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()

    # ---- windows ------------------------------------------------------------------------------

    def windows(self, title):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title], env=self.env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.split()
        return [int(w) for w in found]

    def window(self, title, timeout=20.0):
        return wait_until(lambda: self.windows(title), timeout, f"a window titled {title}")[0]

    def geometry(self, window):
        """The client area: x, y, width, height on the screen."""
        info = self.run(["xwininfo", "-id", str(window)]).decode()
        value = {}
        for line in info.splitlines():
            line = line.strip()
            for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
                if line.startswith(key + ":"):
                    value[key] = int(line.split(":")[1])
        return (value["Absolute upper-left X"], value["Absolute upper-left Y"], value["Width"], value["Height"])

    def settled_geometry(self, window):
        """The client area once the window manager is done placing it: the same twice in a row."""
        last = [None]

        def settled():
            time.sleep(0.1)
            now = self.geometry(window)
            same = now == last[0]
            last[0] = now
            return now if same else None
        return wait_until(settled, what="the window to settle")

    def frame_extents(self, window):
        """The window manager's frame: left, right, top, bottom; None until it has framed the window."""
        text = self.run(["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"]).decode()
        if "=" not in text:
            return None
        return tuple(int(v) for v in text.split("=")[1].split(","))

    def active_window_name(self):
        return self.run(["xdotool", "getactivewindow", "getwindowname"], check=False).decode().strip()

    # ---- input and pictures -------------------------------------------------------------------

    def click(self, window, x, y):
        left, top, _, _ = self.geometry(window)
        # No --sync: it waits for the pointer to move, and it may already be there.
        self.run(["xdotool", "mousemove", str(left + x), str(top + y), "click", "1"])

    def key(self, *keys):
        self.run(["xdotool", "key", "--delay", "30", *keys])

    def type(self, text):
        self.run(["xdotool", "type", "--delay", "20", text])

    def screenshot(self):
        return Image(self.run(["import", "-window", "root", "-depth", "8", "ppm:-"]))

    def settled_screenshot(self):
        """A screenshot once painting has settled: two in a row alike."""
        last = [self.screenshot()]

        def settled():
            image = self.screenshot()
            same = image.pixels == last[0].pixels
            last[0] = image
            return image if same else None
        return wait_until(settled, what="the screen to settle")

    def steady_screenshot(self, window, ready):
        """The window's place and a settled screenshot taken while it stayed there (a window
        manager may still nudge a new window) and once ready(left, top) holds."""
        def steady():
            left, top, _, _ = self.settled_geometry(window)
            wait_until(lambda: ready(left, top), what="the window to be painted")
            image = self.settled_screenshot()
            return (left, top, image) if self.geometry(window)[:2] == (left, top) else None
        return wait_until(steady, what="the window to stay in place for a screenshot")

    @staticmethod
    def changed_pixels(before, after):
        return sum(1 for i in range(0, len(before.pixels), 3) if before.pixels[i:i + 3] != after.pixels[i:i + 3])


class DesktopTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="patchlens-desktop-")
        os.chmod(self.folder, 0o755)
        self.addCleanup(shutil.rmtree, self.folder, True)
        # A window manager that cannot reach a server just started (seen when several start at
        # once) gets a new server; three failures in a row are a failure.
        for attempt in range(3):
            try:
                self.desktop = Desktop()
                break
            except RuntimeError:
                if attempt == 2:
                    raise
        self.addCleanup(self.desktop.close)
        self.programs = []
        # The program runs from a copy of its folder, so that default.ini and the library it writes
        # stay with the test.
        self.program_folder = os.path.join(self.folder, "program")
        os.mkdir(self.program_folder)
        for name in ("patchlens", "patchlens-window"):
            if os.path.exists(os.path.join(os.path.dirname(PROGRAM), name)):
                shutil.copy2(os.path.join(os.path.dirname(PROGRAM), name), self.program_folder)
        self.home = os.path.join(self.folder, "home")
        os.mkdir(self.home)

    def tearDown(self):
        for process in self.programs:
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)
            process.wait()

    def start(self, *args, user=None):
        env = dict(self.desktop.env, HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                   XDG_DATA_HOME=os.path.join(self.home, ".local", "share"))
        env.pop("XDG_RUNTIME_DIR", None)
        command = [os.path.join(self.program_folder, "patchlens"), *args]
        if user is not None:  # runuser sets its own HOME; env sets ours again
            command = ["runuser", "-u", user, "--", "env"] + [f"{k}={env[k]}" for k in
                                                              ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME")] + command
        process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
        self.programs.append(process)
        window = self.desktop.window(MAIN_TITLE)
        wait_until(lambda: self.desktop.frame_extents(window), what="the main window's frame")
        self.desktop.settled_geometry(window)
        return window

    def write_patch(self, folder, name, version="1.2", patch_name="Fine"):
        with open(os.path.join(folder, name), "wb") as out:
            out.write(b'<?xml version="1.0"?>\r\n<RP350Preset SchemaVersion="' + version.encode() +
                      b'">\r\n  <Name>' + patch_name.encode() + b"</Name>\r\n")

    # ---- the tests ----------------------------------------------------------------------------

    def test_a_refusal_closed_with_return_or_escape_stays_closed(self):
        patches = os.path.join(self.folder, "patches")
        os.mkdir(patches)
        self.write_patch(patches, "a.rp350p")
        self.write_patch(patches, "b.rp350p", version="1.3", patch_name="Newer")
        main = self.start(patches)
        for key in ("Return", "Escape"):
            self.desktop.click(main, PATCH_LIST[0] + 40, PATCH_LIST[1] + 21)  # the second entry, refused
            self.desktop.window(MESSAGE_TITLE)
            self.desktop.key(key)
            wait_until(lambda: not self.desktop.windows(MESSAGE_TITLE), what="the message to close")
            self.assertTrue(stays_false(lambda: self.desktop.windows(MESSAGE_TITLE), 2.0),
                            f"the refusal came back after {key}")
            self.assertEqual(self.desktop.active_window_name(), "Patchlens [ Version: 1.21 ]")

    def test_the_search_window_stays_in_front_after_each_message(self):
        main = self.start()
        self.desktop.click(main, 94, 20)  # "Search Patch"
        search = self.desktop.window(SEARCH_TITLE)
        wait_until(lambda: self.desktop.frame_extents(search), what="the search window's frame")
        self.desktop.settled_geometry(search)
        field = (10, 20, 560, 20)
        self.desktop.click(search, 300, 30)
        self.desktop.key("ctrl+a")
        self.desktop.type("/no/such/folder")
        for expected_focus, start in (("folder field", True), ("module list", False)):
            if not start:  # an existing folder, no module chosen: "Select Model"
                self.desktop.click(search, 300, 30)
                self.desktop.key("ctrl+a")
                self.desktop.type(self.folder)
            self.desktop.click(search, 500, 55)  # "Start Search..."
            self.desktop.window(MESSAGE_TITLE)
            self.desktop.key("Return")
            wait_until(lambda: not self.desktop.windows(MESSAGE_TITLE), what="the message to close")
            wait_until(lambda: self.desktop.active_window_name() == "Search Patch",
                       what=f"the search window to be active after the message ({expected_focus})")
            # Typing reaches the control the message named.
            left, top, _, _ = self.desktop.geometry(search)
            box = field if expected_focus == "folder field" else (10, 45, 150, 20)
            before = self.desktop.screenshot().region(left + box[0], top + box[1], box[2], box[3])
            self.desktop.key("End" if expected_focus == "folder field" else "Down")
            if expected_focus == "folder field":
                self.desktop.type("ZZ")
            wait_until(lambda: self.desktop.screenshot().region(left + box[0], top + box[1], box[2], box[3]) != before,
                       what=f"typing to reach the {expected_focus}")

    def test_no_panel_line_name_or_path_shows_a_cut_glyph(self):
        for sample in ("Direct Whammy.rp350p", "Octave Fuzz.rp350p"):
            main = self.start(SAMPLES, os.path.join(SAMPLES, sample))
            left, top, image = self.desktop.steady_screenshot(main, self._painted)
            if os.environ.get("PATCHLENS_DESKTOP_SHOTS"):
                with open(os.environ["PATCHLENS_DESKTOP_SHOTS"], "wb") as out:
                    out.write(b"P6 %d %d 255\n" % (image.width, image.height) + image.pixels)
            for (x, y, w, h) in PANEL_LISTS + [PATCH_LIST]:
                # The column just inside the right border is background on every row: the same
                # colour as the column just inside the left border.
                for row in range(y + 1, y + h - 1):
                    self.assertEqual(image.pixel(left + x + w - 2, top + row), image.pixel(left + x + 1, top + row),
                                     f"{sample}: a glyph is cut at the right edge of the list at {(x, y)}, row {row - y}")
            x, y, w, h = NAME_FIELD
            for row in range(y, y + h):
                self.assertEqual(image.pixel(left + x + w - 1, top + row), (0, 0, 0),
                                 f"{sample}: the name is cut at the name field's right edge")
            for process in self.programs:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
            self.programs.clear()
            wait_until(lambda: not self.desktop.windows(MAIN_TITLE), what="the window to go")

    def _painted(self, left, top):
        image = self.desktop.screenshot()
        # The Distortion list holds text once painted: some pixel differs from its background.
        x, y, w, h = 285, 60, 93, 100
        background = image.pixel(left + x + 1, top + y + 50)
        return image if any(image.pixel(left + x + i, top + y + j) != background
                            for i in range(2, w - 2) for j in range(2, 18)) else None

    def test_a_read_only_program_folders_library_appears(self):
        library = b"Delay,Slapback,DM2DLY,TIME__= 80 ms,,,,,\r\nDelay,Long Echo,TAPDLY,,,,,,\r\n"
        with open(os.path.join(self.program_folder, "LibraryRP350.dat"), "wb") as out:
            out.write(library)
        user = None
        os.chmod(self.program_folder, 0o555)
        self.addCleanup(os.chmod, self.program_folder, 0o755)
        if os.geteuid() == 0:  # permissions do not bind root: run as an ordinary user
            user = "nobody"
            os.chmod(self.folder, 0o755)
            os.chown(self.home, pwd.getpwnam(user).pw_uid, -1)
        main = self.start(user=user)
        x, y, w, h = LIBRARY_SELECTOR
        before = self.desktop.settled_screenshot()
        self.desktop.click(main, x + 40, y + 10)
        # The selector's list opens; "Delay" is ten entries down.
        wait_until(lambda: Desktop.changed_pixels(before, self.desktop.screenshot()) > 3000, what="the list to open")
        self.desktop.key(*["Down"] * 10, "Return")
        left, top, _, _ = self.desktop.geometry(main)
        x, y, w, h = LIBRARY_NAMES

        def names_shown():
            image = self.desktop.screenshot()
            background = image.pixel(left + x + 2, top + y + h - 3)
            return any(image.pixel(left + x + i, top + y + j) != background
                       for i in range(3, w - 20) for j in range(2, 16))
        wait_until(names_shown, what="the library's names in the name list")
        copy = os.path.join(self.home, ".local", "share", "Patchlens", "LibraryRP350.dat")
        with open(copy, "rb") as read:
            self.assertEqual(read.read(), library)
        with open(os.path.join(self.program_folder, "LibraryRP350.dat"), "rb") as read:
            self.assertEqual(read.read(), library)

    def test_the_outer_window_sizes_hold_under_the_window_manager(self):
        main = self.start()
        self._check_outer(main, (800, 580))

        def outer_top_left(window):
            left, top, _, _ = self.desktop.geometry(window)
            frame = self.desktop.frame_extents(window)
            return (left - frame[0], top - frame[2])
        # Centred on the 1280 x 1024 screen, frame included.
        centred = ((1280 - 800) // 2, (1024 - 580) // 2)
        try:
            wait_until(lambda: outer_top_left(main) == centred, what="the window to be centred")
        except AssertionError:
            self.assertEqual(outer_top_left(main), centred)
        self.desktop.click(main, 94, 20)
        search = self.desktop.window(SEARCH_TITLE)
        wait_until(lambda: self.desktop.frame_extents(search), what="the search window's frame")
        self.desktop.settled_geometry(search)
        self._check_outer(search, (600, 245))
        below = (centred[0], centred[1] + 335)
        try:
            wait_until(lambda: outer_top_left(search) == below, what="the search window below the main window")
        except AssertionError:
            self.assertEqual(outer_top_left(search), below)

    def _check_outer(self, window, outer):
        def outer_size():
            _, _, width, height = self.desktop.geometry(window)
            left, right, top, bottom = self.desktop.frame_extents(window)
            return (width + left + right, height + top + bottom)
        try:
            wait_until(lambda: outer_size() == outer, what=f"the outer size {outer}")
        except AssertionError:
            self.assertEqual(outer_size(), outer)


def main():
    global PROGRAM, SAMPLES
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--samples", required=True)
    options, rest = parser.parse_known_args()
    PROGRAM = os.path.abspath(options.program)
    SAMPLES = os.path.abspath(options.samples)
    for tool in ("Xvfb", "openbox", "xdotool", "xwininfo", "xprop", "import"):
        if shutil.which(tool) is None:
            print(f"{tool} is missing; `make test` installs it", file=sys.stderr)
            return 1
    return 0 if unittest.main(argv=[sys.argv[0]] + rest, exit=False).result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
