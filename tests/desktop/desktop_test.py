#!/usr/bin/env python3
"""The built program on Xvfb with openbox, driven by xdotool and looked at in screenshots. Each test
starts its own server on a free display, runs the program from a fresh copy of its folder with a home
of its own (as an ordinary user where permissions matter), and ends everything it started.

    desktop_test.py --program build/default/src/app/patchlens --samples samples [unittest options]
"""

import argparse
import os
import pwd
import re
import shutil
import signal
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
NAME_FIELD = (187, 10, 291, 20)
PATCH_LIST = (602, 55, 175, 462)
LIBRARY_SELECTOR = (20, 470, 150, 20)
LIBRARY_NAMES = (385, 465, 193, 52)


def wait_until(check, timeout=20.0, what="a condition"):
    """Polls `check` until it returns something true; fails after `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while not (result := check()):
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.05)
    return result


def stays_false(check, duration):
    """True when `check` stays false for `duration` seconds (a thing that must not happen)."""
    try:
        return not wait_until(check, duration)
    except AssertionError:
        return True


def settled(get, what, pause=0.0):
    """get()'s value once it is the same twice in a row."""
    last = [None]

    def same():
        time.sleep(pause)
        before, last[0] = last[0], get()
        return last[0] if last[0] == before else None
    return wait_until(same, what=what)


SCREEN = (1280, 1024)


def pixel(shot, x, y):
    """The colour at (x, y) of a screenshot (RGB bytes of the whole screen)."""
    at = 3 * (y * SCREEN[0] + x)
    return tuple(shot[at:at + 3])


def region(shot, x, y, w, h, width=SCREEN[0]):
    return [shot[3 * (row * width + x):3 * (row * width + x + w)] for row in range(y, y + h)]


def ink(shot, x, y, w, h, background):
    """Whether some pixel of the box differs from the background colour."""
    return any(pixel(shot, x + i, y + j) != background for i in range(w) for j in range(h))


class Desktop:
    """An X server with openbox on a display nobody else uses."""

    def __init__(self, size=SCREEN):
        self.size = size
        read, write = os.pipe()
        # -noreset: by default the server starts over when its last client leaves, and a client
        # that connects meanwhile (the window manager, just after the probe below) is turned away.
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "%dx%dx24" % size, "-ac", "-noreset",
             "-nolisten", "tcp"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as pipe:
            self.display = ":" + pipe.readline().strip()
        if self.display == ":":
            raise RuntimeError("Xvfb did not start")
        self.env = {k: v for k, v in os.environ.items() if k not in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY")}
        self.env["DISPLAY"] = self.display
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
        # openbox that cannot open a display just started is tried again a moment later.
        for _ in range(5):
            with tempfile.TemporaryFile() as log:
                self.manager = subprocess.Popen(["openbox"], env=self.env, stdout=log, stderr=subprocess.STDOUT)
                state = wait_until(lambda: "ended" if self.manager.poll() is not None else b"window id" in self.run(
                    ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False), what="openbox")
                if state != "ended":
                    return
                log.seek(0)
                problem = log.read().decode(errors="replace")
            time.sleep(0.2)
        raise RuntimeError(f"openbox ended with status {self.manager.returncode} on {self.display}"
                           f" (the server {'has ended' if self.server.poll() is not None else 'runs'}): {problem}")

    def run(self, command, check=True):
        return subprocess.run(command, env=self.env, check=check, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL).stdout

    def close(self):
        for process in filter(None, (self.manager, self.server)):
            process.terminate()
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()

    def windows(self, title):
        return [int(w) for w in self.run(["xdotool", "search", "--onlyvisible", "--name", title], check=False).split()]

    def window(self, title):
        return wait_until(lambda: self.windows(title), what=f"a window titled {title}")[0]

    def geometry(self, window):
        """The client area: x, y, width, height on the screen."""
        info = self.run(["xwininfo", "-id", str(window)]).decode()
        return tuple(int(re.search(rf"^\s*{key}:\s*(-?\d+)$", info, re.M).group(1))
                     for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))

    def settled_geometry(self, window):
        """The client area once the window manager is done placing it: the same twice in a row."""
        return settled(lambda: self.geometry(window), "the window to settle", pause=0.1)

    def framed_window(self, title):
        """A window once framed by the window manager and in place."""
        window = self.window(title)
        wait_until(lambda: self.frame_extents(window), what=f"the frame of {title}")
        self.settled_geometry(window)
        return window

    def outer(self, window):
        """left, top, width, height, frame included"""
        left, top, width, height = self.geometry(window)
        frame_left, frame_right, frame_top, frame_bottom = self.frame_extents(window)
        return (left - frame_left, top - frame_top, width + frame_left + frame_right,
                height + frame_top + frame_bottom)

    def frame_extents(self, window):
        """The window manager's frame: left, right, top, bottom; None until it has framed the window."""
        text = self.run(["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"]).decode()
        return tuple(int(v) for v in text.split("=")[1].split(",")) if "=" in text else None

    def active_window_name(self):
        return self.run(["xdotool", "getactivewindow", "getwindowname"], check=False).decode().strip()

    def click(self, window, x, y):
        left, top, _, _ = self.geometry(window)
        # No --sync: it waits for the pointer to move, and it may already be there.
        self.run(["xdotool", "mousemove", str(left + x), str(top + y), "click", "1"])

    def key(self, *keys):
        self.run(["xdotool", "key", "--delay", "30", *keys])

    def type(self, text):
        self.run(["xdotool", "type", "--delay", "20", text])

    def screenshot(self):
        shot = self.run(["import", "-window", "root", "-depth", "8", "rgb:-"])
        if len(shot) != 3 * self.size[0] * self.size[1]:
            raise RuntimeError(f"a screenshot of {len(shot)} bytes")
        return shot

    def settled_screenshot(self):
        """A screenshot once painting has settled: two in a row alike."""
        return settled(self.screenshot, "the screen to settle")

    def steady_screenshot(self, window, ready):
        """The window's place and a settled screenshot taken while it stayed there (a window
        manager may still nudge a new window) and once ready(left, top) holds."""
        def steady():
            left, top, _, _ = self.settled_geometry(window)
            wait_until(lambda: ready(left, top), what="the window to be painted")
            image = self.settled_screenshot()
            return (left, top, image) if self.geometry(window)[:2] == (left, top) else None
        return wait_until(steady, what="the window to stay in place for a screenshot")


class DesktopTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="patchlens-desktop-")
        os.chmod(self.folder, 0o755)
        self.addCleanup(shutil.rmtree, self.folder, True)
        # A server or window manager that fails to start gets another try; three failures in a
        # row are a failure.
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
        self.programs.clear()

    def start(self, *args, user=None, scale=None):
        env = dict(self.desktop.env, HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                   XDG_DATA_HOME=os.path.join(self.home, ".local", "share"))
        if scale is not None:
            env["QT_SCALE_FACTOR"] = str(scale)
        env.pop("XDG_RUNTIME_DIR", None)
        command = [os.path.join(self.program_folder, "patchlens"), *args]
        if user is not None:  # runuser sets its own HOME; env sets ours again
            command = ["runuser", "-u", user, "--", "env"] + [f"{k}={env[k]}" for k in
                                                              ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME")] + command
        process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
        self.programs.append(process)
        return self.desktop.framed_window(MAIN_TITLE)

    def open_search(self, main, scale=1):
        self.desktop.click(main, round(94 * scale), round(20 * scale))  # "Search Patch"
        return self.desktop.framed_window(SEARCH_TITLE)

    def assert_becomes(self, value, expected, what):
        """value() comes to equal expected (a window manager may take its time)."""
        try:
            wait_until(lambda: value() == expected, what=what)
        except AssertionError:
            self.assertEqual(value(), expected)

    def close_message(self, key):
        self.desktop.window(MESSAGE_TITLE)
        self.desktop.key(key)
        wait_until(lambda: not self.desktop.windows(MESSAGE_TITLE), what="the message to close")

    def test_a_refusal_closed_with_return_or_escape_stays_closed(self):
        patches = os.path.join(self.folder, "patches")
        os.mkdir(patches)
        for name, version, patch_name in (("a.rp350p", b"1.2", b"Fine"), ("b.rp350p", b"1.3", b"Newer")):
            with open(os.path.join(patches, name), "wb") as out:
                out.write(b'<?xml version="1.0"?>\r\n<RP350Preset SchemaVersion="%s">\r\n  <Name>%s</Name>\r\n'
                          % (version, patch_name))
        main = self.start(patches)
        for key in ("Return", "Escape"):
            self.desktop.click(main, PATCH_LIST[0] + 40, PATCH_LIST[1] + 21)  # the second entry, refused
            self.close_message(key)
            self.assertTrue(stays_false(lambda: self.desktop.windows(MESSAGE_TITLE), 2.0),
                            f"the refusal came back after {key}")
            self.assertEqual(self.desktop.active_window_name(), "Patchlens [ Version: 1.21 ]")

    def test_the_search_window_stays_in_front_after_each_message(self):
        search = self.open_search(self.start())
        # A missing folder names the folder field; an existing one without a module, the module list.
        for folder, box, key, text in (("/no/such/folder", (10, 20, 560, 20), "End", "ZZ"),
                                       (self.folder, (10, 45, 150, 20), "Down", "")):
            self.desktop.click(search, 300, 30)
            self.desktop.key("ctrl+a")
            self.desktop.type(folder)
            self.desktop.click(search, 500, 55)  # "Start Search..."
            self.close_message("Return")
            wait_until(lambda: self.desktop.active_window_name() == "Search Patch",
                       what=f"the search window to be active after the message for {folder}")
            # Typing reaches the control the message named.
            left, top, _, _ = self.desktop.geometry(search)
            before = region(self.desktop.screenshot(), left + box[0], top + box[1], box[2], box[3])
            self.desktop.key(key)
            if text:
                self.desktop.type(text)
            wait_until(lambda: region(self.desktop.screenshot(), left + box[0], top + box[1], box[2], box[3]) != before,
                       what=f"typing to reach the control named after {folder}")

    def test_the_search_window_takes_a_new_path_and_escape_at_every_scale(self):
        ini = os.path.join(self.program_folder, "default.ini")
        for scale in (1, 1.5, 2):
            with open(ini, "wb") as out:
                out.write(b"\r\n\r\n/old/path\r\n")
            search = self.open_search(self.start(scale=scale), scale)
            self.desktop.run(["xdotool", "windowmove", str(search), "0", "0"])  # all of it on the screen
            # The progress bar keeps off the right and bottom edges: the last columns and rows of
            # the client are background, the bar's frame (ink) lies inside them.
            margin, bar_height = round(4 * scale), round(30 * scale)
            left, top, image = self.desktop.steady_screenshot(search, lambda left, top: True)
            _, _, width, height = self.desktop.geometry(search)
            background = pixel(image, left + width - 2, top + height - round(45 * scale))
            self.assertTrue(ink(image, left + width - round(150 * scale), top + height - bar_height,
                                round(140 * scale), bar_height - margin, background), f"no progress bar at {scale}")
            self.assertFalse(ink(image, left + width - margin, top + height - bar_height, margin, bar_height,
                                 background), f"the progress bar touches the right edge at {scale}")
            self.assertFalse(ink(image, left + width // 2, top + height - margin, width // 2, margin, background),
                             f"the progress bar touches the bottom edge at {scale}")
            # The path shown is selected: a path typed replaces it, and Escape closes the window,
            # which keeps the folder in default.ini as the close box does.
            self.desktop.type("/new/path")
            self.desktop.key("Escape")
            wait_until(lambda: not self.desktop.windows(SEARCH_TITLE), what=f"Escape to close the window at {scale}")
            with open(ini, "rb") as read:
                self.assertEqual(read.read().split(b"\r\n")[2], b"/new/path", f"at {scale}")
            self.tearDown()
            wait_until(lambda: not self.desktop.windows(MAIN_TITLE), what="the window to go")

    def test_no_panel_line_name_or_path_shows_a_cut_glyph(self):
        for sample in ("Direct Whammy.rp350p", "Octave Fuzz.rp350p"):
            main = self.start(SAMPLES, os.path.join(SAMPLES, sample))
            # Painted once the Distortion list holds text.
            left, top, image = self.desktop.steady_screenshot(main, lambda left, top: ink(
                shot := self.desktop.screenshot(), left + 287, top + 62, 89, 16, pixel(shot, left + 286, top + 110)))
            if os.environ.get("PATCHLENS_DESKTOP_SHOTS"):
                with open(os.environ["PATCHLENS_DESKTOP_SHOTS"], "wb") as out:
                    out.write(b"P6 %d %d 255\n" % SCREEN + image)
            for (x, y, w, h) in PANEL_LISTS + [PATCH_LIST]:
                # The column just inside the right border is background on every row: the same
                # colour as the column just inside the left border.
                for row in range(y + 1, y + h - 1):
                    self.assertEqual(pixel(image, left + x + w - 2, top + row), pixel(image, left + x + 1, top + row),
                                     f"{sample}: a glyph is cut at the right edge of the list at {(x, y)}, row {row - y}")
            x, y, w, h = NAME_FIELD
            for row in range(y, y + h):
                self.assertEqual(pixel(image, left + x + w - 1, top + row), (0, 0, 0),
                                 f"{sample}: the name is cut at the name field's right edge")
            self.tearDown()
            wait_until(lambda: not self.desktop.windows(MAIN_TITLE), what="the window to go")

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
        wait_until(lambda: sum(before[i:i + 3] != after[i:i + 3] for after in [self.desktop.screenshot()]
                               for i in range(0, len(before), 3)) > 3000, what="the list to open")
        self.desktop.key(*["Down"] * 10, "Return")
        left, top, _, _ = self.desktop.geometry(main)
        x, y, w, h = LIBRARY_NAMES
        wait_until(lambda: ink(shot := self.desktop.screenshot(), left + x + 3, top + y + 2, w - 23, 14,
                               pixel(shot, left + x + 2, top + y + h - 3)), what="the library's names in the name list")
        copy = os.path.join(self.home, ".local", "share", "Patchlens", "LibraryRP350.dat")
        with open(copy, "rb") as read:
            self.assertEqual(read.read(), library)
        with open(os.path.join(self.program_folder, "LibraryRP350.dat"), "rb") as read:
            self.assertEqual(read.read(), library)

    def test_the_outer_window_sizes_hold_under_the_window_manager(self):
        outer = self.desktop.outer
        main = self.start()
        self.assert_becomes(lambda: outer(main)[2:], (800, 580), "the main window's outer size")
        # Centred on the screen, frame included; the search window below it.
        centred = ((SCREEN[0] - 800) // 2, (SCREEN[1] - 580) // 2)
        self.assert_becomes(lambda: outer(main)[:2], centred, "the window to be centred")
        search = self.open_search(main)
        self.assert_becomes(lambda: outer(search)[2:], (600, 245), "the search window's outer size")
        self.assert_becomes(lambda: outer(search)[:2], (centred[0], centred[1] + 335),
                            "the search window below the main window")

    def test_compare_windows_fit_the_screen_clear_of_the_patch_list_and_go_with_the_main_window(self):
        for screen in (SCREEN, (1024, 768)):
            if screen != SCREEN:
                self.desktop.close()
                self.desktop = Desktop(screen)
                self.addCleanup(self.desktop.close)
            with self.subTest(screen=screen):
                self.check_compare_windows(screen)

    def check_compare_windows(self, screen):
        main = self.start(SAMPLES, os.path.join(SAMPLES, "Clean Lead.rp350p"))
        left, top, _, _ = self.desktop.geometry(main)
        list_box = (left + PATCH_LIST[0], top + PATCH_LIST[1], PATCH_LIST[2], PATCH_LIST[3])
        shown = region(self.desktop.settled_screenshot(), *list_box, width=screen[0])
        main_x, main_y, main_w, main_h = self.desktop.outer(main)

        def compare_with(row):  # Ctrl and a click on the row's entry (rows of 12 pixels)
            self.desktop.run(["xdotool", "mousemove", str(list_box[0] + 40), str(list_box[1] + 8 + 12 * row),
                              "keydown", "ctrl", "click", "1", "keyup", "ctrl"])

        def compares():
            return self.desktop.windows(r"^Compare: ")
        places = []
        for count, row in ((1, 4), (2, 5)):  # Metal Rhythm, Octave Fuzz
            compare_with(row)
            wait_until(lambda: len(compares()) == count, what=f"compare window {count}")
            window = [w for w in compares() if self.desktop.outer(w)[:2] not in places][0] \
                if count > 1 else compares()[0]
            wait_until(lambda: self.desktop.frame_extents(window), what="the compare window's frame")
            x, y, w, h = settled(lambda: self.desktop.outer(window), "the compare window to settle", pause=0.2)
            self.assertTrue(x >= 0 and y >= 0 and x + w <= screen[0] and y + h <= screen[1], (x, y, w, h))
            self.assertTrue(x + w <= list_box[0] or x >= list_box[0] + list_box[2], (x, w, list_box))
            # Over the main window, its bottom edge does not cut across it (a strip of the main
            # window beneath it would read as part of it).
            if x < main_x + main_w and main_x < x + w:
                self.assertFalse(main_y < y + h < main_y + main_h, (y + h, main_y, main_h))
            places.append((x, y))
        self.assertGreaterEqual(max(abs(places[0][0] - places[1][0]), abs(places[0][1] - places[1][1])), 24)
        compare_with(4)  # the same two files again: their window comes back, no new one
        self.assertTrue(stays_false(lambda: len(compares()) > 2, 2.0))
        self.assertEqual(region(self.desktop.settled_screenshot(), *list_box, width=screen[0]), shown,
                         "the patch list is covered")
        self.assert_becomes(lambda: self.desktop.active_window_name().startswith("Compare: "), True,
                            "a compare window to be active")
        self.desktop.key("Escape")
        wait_until(lambda: len(compares()) == 1, what="Escape to close a compare window")
        self.desktop.run(["xdotool", "windowactivate", "--sync", str(main)])
        self.desktop.key("alt+F4")  # openbox closes the active window
        self.assertEqual(self.programs[-1].wait(20), 0)
        self.assertEqual(compares(), [])

    def test_a_header_click_sorts_the_collection_while_rows_still_arrive(self):
        # 100,000 patch files, enough for the scan to outlast a click and a few screenshots on a
        # fast machine: hard links to the samples in a hundred folders, so that the names follow
        # each other in no order the sort would keep.
        samples = os.path.join(self.folder, "samples")
        shutil.copytree(SAMPLES, samples)
        names = sorted(n for n in os.listdir(samples) if n.endswith(".rp350p"))
        tree = os.path.join(self.folder, "collection")
        for number in range(100000):
            folder = os.path.join(tree, "%02d" % (number // 1000))
            os.makedirs(folder, exist_ok=True)
            os.link(os.path.join(samples, names[number * 5 % len(names)]),
                    os.path.join(folder, "p%05d.rp350p" % number))
        self.start(SAMPLES)
        self.desktop.key("ctrl+l")
        self.desktop.framed_window(r"^Select Collection Folder")
        self.desktop.type(tree)
        self.desktop.key("Return")
        # Framed and in place first: a click before the window takes input would be lost.
        window = self.desktop.framed_window(r"^Collection$")
        self.desktop.click(window, 88, 72)  # the Name header: ascending
        left, top, _, _ = self.desktop.geometry(window)

        def names_shown(shot):  # the Name cells of the first twenty rows
            return [region(shot, left + 12, top + 84 + 18 * row, 138, 14) for row in range(20)]

        def part(shot, x, y, w, h):
            return region(shot, left + x, top + y, w, h)
        def sorted_by_name():  # a screenshot whose first twenty rows all show one name
            shot = self.desktop.screenshot()
            return shot if len({b"".join(cell) for cell in names_shown(shot)}) == 1 else None
        sorted_shot = wait_until(sorted_by_name, what="the rows sorted by name")
        # The sorted rows were shown while the scan still ran: Stop was enabled then, and is not
        # once the scan is over; the status line was still counting; the rows that came after kept
        # the order (Acoustic Strum first).
        stop_then = part(sorted_shot, 915, 12, 70, 14)
        wait_until(lambda: part(self.desktop.screenshot(), 915, 12, 70, 14) != stop_then, timeout=300,
                   what="the scan to end (Stop disabled)")
        done = self.desktop.settled_screenshot()
        self.assertNotEqual(part(sorted_shot, 8, 579, 380, 14), part(done, 8, 579, 380, 14), "the status line")
        self.assertEqual(names_shown(done), names_shown(sorted_shot))
        self.assertTrue(ink(done, left + 12, top + 84, 138, 14, pixel(done, left + 160, top + 84)), "no rows shown")
        # And the last rows are those of the last name, not the rows that came in after the click.
        self.desktop.click(window, 250, 84)
        self.desktop.key("ctrl+End")
        last = self.desktop.settled_screenshot()
        self.assertNotEqual(names_shown(last)[0], names_shown(done)[0])
        self.assertEqual(len({b"".join(cell) for cell in names_shown(last)}), 1, "the last rows are not sorted")

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
