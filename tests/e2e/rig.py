"""End-to-end rig: a private Xvfb with RandR monitors, optional tray host and window manager,
a temporary HOME, and tessik running inside it. Everything started is stopped by pid, also
when a test fails.

    with Desktop("side_by_side", tray=True, wm=True) as d:
        d.start_tessik()
        d.xdotool("key", "ctrl+shift+2")
"""

import os
import shutil
import signal
import subprocess
import tempfile
import time

# name -> (root size, monitors as (name, w, h, x, y, primary), QT_SCREEN_SCALE_FACTORS)
LAYOUTS = {
    # The primary display comes first in Tessik's screen order.
    "side_by_side": ("3360x1080", [("LEFT", 1440, 900, 0, 0, False),
                                   ("RIGHT", 1920, 1080, 1440, 0, True)], None),
    "stacked": ("1920x1980", [("TOP", 1440, 900, 0, 0, True),
                              ("BOTTOM", 1920, 1080, 0, 900, False)], None),
    # 2880x1800 pixels shown as 1440x900 points at scale 2, beside an ordinary display.
    "hidpi": ("4800x1800", [("HIDPI", 2880, 1800, 0, 0, True),
                            ("RIGHT", 1920, 1080, 2880, 0, False)], "HIDPI=2;RIGHT=1"),
    # The same with the ordinary display as the primary one.
    "hidpi_secondary": ("4800x1800", [("HIDPI", 2880, 1800, 0, 0, False),
                                      ("RIGHT", 1920, 1080, 2880, 0, True)], "HIDPI=2;RIGHT=1"),
    # 2560x1440 pixels at scale 1.5: 1706.67 points, not a whole number.
    "three_halves": ("4480x1440", [("WIDE", 2560, 1440, 0, 0, True),
                                   ("RIGHT", 1920, 1080, 2560, 0, False)], "WIDE=1.5;RIGHT=1"),
    # A 1080x1920 portrait display at scale 2: 540 points, narrower than the overlay's tool bar.
    "portrait_hidpi": ("3000x1920", [("TALL", 1080, 1920, 0, 0, True),
                                     ("RIGHT", 1920, 1080, 1080, 0, False)], "TALL=2;RIGHT=1"),
    "single": ("1920x1080", [("MAIN", 1920, 1080, 0, 0, True)], None),
    "uhd": ("5760x2160", [("UHD", 3840, 2160, 0, 0, True),
                          ("FHD", 1920, 1080, 3840, 0, False)], None),
    "uhd_single": ("3840x2160", [("UHD", 3840, 2160, 0, 0, True)], None),
}

TESSIK = os.environ.get("TESSIK_BINARY") or os.path.join(
    os.environ.get("TESSIK_BUILD_DIR", "build"), "src", "App", "tessik")


def wait_until(predicate, timeout=10.0, interval=0.05, what="condition"):
    """Polls until predicate() is truthy; returns its value or raises TimeoutError."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimeoutError(f"timed out waiting for {what}")
        time.sleep(interval)


def mark_welcomed(home):
    """Records in the settings file under home (made, or as a test wrote it) that the
    first-launch greeting was shown, so that it does not stand in other tests' way."""
    conf = os.path.join(home, ".config", "Tessik", "Tessik.ini")
    os.makedirs(os.path.dirname(conf), exist_ok=True)
    content = b""
    if os.path.exists(conf):
        with open(conf, "rb") as f:
            content = f.read()
    if b"welcomeShown=" in content:
        return
    if b"[General]\n" in content:
        content = content.replace(b"[General]\n", b"[General]\nwelcomeShown=true\n", 1)
    else:
        content = b"[General]\nwelcomeShown=true\n" + content
    with open(conf, "wb") as f:
        f.write(content)


def stop_all(procs, tmp):
    """Stops the processes in the order given (a test's tessik first, then what it ran on, last
    started first) and removes the test's temporary folder unless TESSIK_KEEP_E2E is set."""
    for proc in procs:
        if proc is None or proc.poll() is not None:
            continue
        proc.terminate()
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    if tmp and not os.environ.get("TESSIK_KEEP_E2E"):
        shutil.rmtree(tmp, ignore_errors=True)


class PrivateDesktop:
    """What both private desktops share: a temporary folder with a home, the processes started
    in it (stopped last-started first, also when a test fails), their logs, and tessik."""
    welcomed = True  # tests start as a returning user unless they look at the first greeting

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.stop()
            raise
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def stop(self):
        stop_all([self.tessik, *reversed(self.procs)], self.tmp)
        self.procs = []

    def _spawn(self, argv, name, **kw):
        # The child keeps its own descriptor; ours is closed at once.
        with open(os.path.join(self.tmp, f"{name}.log"), "ab") as log:
            proc = subprocess.Popen(argv, env=kw.pop("env", None) or self.env(), stdout=log,
                                    stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, **kw)
        self.procs.append(proc)
        return proc

    def read_log(self, name):
        try:
            with open(os.path.join(self.tmp, f"{name}.log"), encoding="utf-8",
                      errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def run(self, argv, check=True, **kw):
        return subprocess.run(argv, env=kw.pop("env", None) or self.env(), check=check,
                              capture_output=True, text=kw.pop("text", True),
                              timeout=kw.pop("timeout", 30), **kw)

    def path(self, *parts):
        return os.path.join(self.home, *parts)

    # -- tessik ------------------------------------------------------------------------------
    def start_tessik(self, args=(), env=None, wait=True):
        """Starts tessik; its output goes to tessik.log in the temp dir. It shows no window at
        launch: ready means it came up and stays alive."""
        if self.welcomed:
            self.mark_welcomed()
        with open(os.path.join(self.tmp, "tessik.log"), "ab") as log:
            self.tessik = subprocess.Popen([TESSIK, *args], env=self.env(**(env or {})),
                                           stdout=log, stderr=subprocess.STDOUT,
                                           stdin=subprocess.DEVNULL)
        if wait:
            self.wait_for_tessik_ready()
        return self.tessik

    def mark_welcomed(self):
        mark_welcomed(self.home)

    def wait_for_tessik_ready(self, timeout=15, settle=1.0):
        deadline = time.monotonic() + settle
        while time.monotonic() < deadline:
            if self.tessik.poll() is not None:
                raise RuntimeError(f"tessik exited with {self.tessik.returncode}:\n{self.log()}")
            time.sleep(0.05)

    def log(self):
        return self.read_log("tessik")

    def stop_tessik(self, sig=signal.SIGTERM, timeout=10):
        self.tessik.send_signal(sig)
        return self.tessik.wait(timeout)


class Desktop(PrivateDesktop):
    def __init__(self, layout="side_by_side", tray=False, wm=False, env=None, xvfb_args=(),
                 depth=24, bus=False, welcomed=True):
        self.layout = layout
        # Tessik greets a first launch with a toast; tests start as a returning user unless
        # they look at that greeting.
        self.welcomed = welcomed
        self.bus = bus  # a private session bus (the command line reaches tessik over it)
        self.bus_address = None
        self.root_size, self.monitors, self.scale_factors = LAYOUTS[layout]
        self.tray = tray
        self.wm = wm
        self.extra_env = env or {}
        self.xvfb_args = list(xvfb_args)  # e.g. ["-extension", "MIT-SHM"] for a server without SHM
        self.depth = depth  # of the root window: 16 and 30 are the uncommon ones in use
        self.procs = []
        self.tessik = None
        self.tmp = None

    def _start(self):
        self.tmp = tempfile.mkdtemp(prefix="tessik-e2e-")
        self.home = os.path.join(self.tmp, "home")
        for sub in ("", ".config", ".cache", ".local/share", "Pictures"):
            os.makedirs(os.path.join(self.home, sub), exist_ok=True)
        # The server picks a free display number itself and writes it to a pipe: two rigs
        # starting at once can never race for the same number.
        read_end, write_end = os.pipe()
        self.display = ""
        try:
            self._spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                         f"{self.root_size}x{self.depth}", "-nolisten", "tcp", "-noreset",
                         *self.xvfb_args], name="Xvfb", pass_fds=(write_end,))
            os.close(write_end)
            with os.fdopen(read_end) as pipe:
                number = pipe.readline().strip()
        finally:
            try:
                os.close(write_end)
            except OSError:
                pass
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.number = int(number)
        self.display = f":{self.number}"
        wait_until(lambda: self._x_ready(), timeout=15, what="Xvfb")
        first = True
        for name, w, h, x, y, primary in self.monitors:
            label = ("*" if primary else "") + name
            # The output "screen" must belong to one monitor, or RandR adds one for the whole root.
            self.run(["xrandr", "--setmonitor", label,
                      f"{w}/{max(1, w * 254 // 960)}x{h}/{max(1, h * 254 // 960)}+{x}+{y}",
                      "screen" if first else "none"])
            first = False
        if self.bus:
            self.start_bus()
        if self.wm:
            self._spawn(["openbox", "--sm-disable"], name="openbox")
            time.sleep(0.5)
        if self.tray:
            self.start_tray()

    def start_tray(self):
        """Starts trayer as tray host (top right); also usable after tessik is up."""
        self._spawn(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                     "--height", "24", "--SetDockType", "true"], name="trayer")
        time.sleep(0.3)

    def start_bus(self):
        """A session bus of this desktop's own that activates no service."""
        socket = os.path.join(self.tmp, "bus")
        os.makedirs(os.path.join(self.tmp, "services"), exist_ok=True)
        config = os.path.join(self.tmp, "session.conf")
        with open(config, "w") as f:
            f.write(f"""<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:path={socket}</listen>
<servicedir>{self.tmp}/services</servicedir>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/></policy></busconfig>
""")
        self._spawn(["dbus-daemon", f"--config-file={config}", "--nofork"], name="dbus")
        wait_until(lambda: os.path.exists(socket), timeout=10, what="the session bus")
        self.bus_address = f"unix:path={socket}"

    def _x_ready(self):
        return subprocess.run(["xdpyinfo"], env=self.env(), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0

    # -- environment -------------------------------------------------------------------------
    def env(self, **extra):
        e = {k: v for k, v in os.environ.items()
             if k not in ("WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "DBUS_SESSION_BUS_ADDRESS",
                          "QT_QPA_PLATFORM", "QT_SCREEN_SCALE_FACTORS", "QT_SCALE_FACTOR")}
        e.update({
            "DISPLAY": self.display if hasattr(self, "display") else "",
            "HOME": getattr(self, "home", e.get("HOME", "")),
            "XDG_CONFIG_HOME": os.path.join(getattr(self, "home", ""), ".config"),
            "XDG_CACHE_HOME": os.path.join(getattr(self, "home", ""), ".cache"),
            "XDG_DATA_HOME": os.path.join(getattr(self, "home", ""), ".local/share"),
            "XDG_RUNTIME_DIR": getattr(self, "tmp", "/tmp"),
            "QT_QPA_PLATFORM": "xcb",
            "LC_ALL": "C.UTF-8",
        })
        if self.bus_address:
            e["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        if self.scale_factors:
            e["QT_SCREEN_SCALE_FACTORS"] = self.scale_factors
        e.update(self.extra_env)
        e.update(extra)
        return e

    # -- X helpers ---------------------------------------------------------------------------
    def xdotool(self, *args):
        return self.run(["xdotool", *[str(a) for a in args]])

    def key(self, *keys):
        for k in keys:
            self.xdotool("key", "--clearmodifiers", k)

    def drag(self, x0, y0, x1, y1, steps=4, pause=0.03):
        """A real left-button drag in root pixels, with pauses so Qt sees intermediate moves."""
        self.xdotool("mousemove", x0, y0)
        time.sleep(pause)
        self.xdotool("mousedown", 1)
        for i in range(1, steps + 1):
            time.sleep(pause)
            self.xdotool("mousemove", x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
        time.sleep(pause)
        self.xdotool("mouseup", 1)

    def windows(self, name_pattern="."):
        """Visible top-level windows of tessik (by pid) as dicts of xwininfo geometry."""
        return self.windows_of(self.tessik.pid, name_pattern)

    def windows_of(self, pid, name_pattern="."):
        """Visible top-level windows of a process, as dicts of xwininfo geometry."""
        # xdotool matches windows meeting any one criterion unless told --all; an unnamed window
        # (a popup menu) never matches a name, so "." means no name criterion.
        name = [] if name_pattern == "." else ["--all", "--name", name_pattern]
        out = self.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid),
                        *name], check=False).stdout.split()
        return [self.window_info(w) for w in out]

    def window_info(self, wid):
        info = {"id": int(wid)}
        out = self.run(["xwininfo", "-id", str(wid)], check=False).stdout
        for line in out.splitlines():
            line = line.strip()
            for key, label in (("x", "Absolute upper-left X:"), ("y", "Absolute upper-left Y:"),
                               ("width", "Width:"), ("height", "Height:")):
                if line.startswith(label):
                    info[key] = int(line.split(":")[1])
            if line.startswith("Override Redirect State:"):
                info["override_redirect"] = line.endswith("yes")
            if line.startswith("Map State:"):
                info["mapped"] = line.endswith("IsViewable")
        return info

    def tray_icon(self):
        """Geometry of tessik's docked tray icon, or None while it is not docked."""
        out = self.run(["xdotool", "search", "--pid", str(self.tessik.pid)],
                       check=False).stdout.split()
        for wid in out:
            info = self.window_info(wid)
            if info.get("mapped") and 0 < info.get("width", 0) <= 64 \
                    and 0 < info.get("height", 0) <= 64 and info.get("y", -1) < 64:
                return info
        return None

    def click_tray_icon(self, button=1):
        icon = wait_until(self.tray_icon, timeout=10, what="the tray icon")
        self.xdotool("mousemove", icon["x"] + icon["width"] // 2, icon["y"] + icon["height"] // 2)
        time.sleep(0.1)
        self.xdotool("click", button)
        return icon

    def popup_menus(self):
        """Tessik's open popup menus: override-redirect windows larger than a tray icon and far
        smaller than an overlay."""
        return [w for w in self.windows() if w.get("mapped") and w.get("override_redirect")
                and 64 < w.get("width", 0) < 600 and w.get("height", 0) < 600]

    def clipboard_targets(self):
        r = self.run(["xclip", "-selection", "clipboard", "-t", "TARGETS", "-o"], check=False,
                     timeout=10)
        return r.stdout.split() if r.returncode == 0 else []

    def clipboard(self, target):
        r = subprocess.run(["xclip", "-selection", "clipboard", "-t", target, "-o"],
                           env=self.env(), capture_output=True, timeout=10)
        return r.stdout if r.returncode == 0 else None

    def screenshot(self, out_png):
        self.run(["import", "-window", "root", out_png])
        return out_png

    def set_root_pattern(self, image_path):
        """Shows an image on the root window (the frozen content a capture should see)."""
        # ImageMagick's display sets the background and exits 1 even when it worked.
        self.run(["display", "-window", "root", image_path], check=False, timeout=60)


def overlays(desktop):
    """Tessik's overlay windows on screen. Tray icons and menus are override-redirect too, but
    far smaller than any display."""
    return [w for w in desktop.windows() if w.get("mapped") and w.get("override_redirect")
            and w.get("width", 0) >= 400 and w.get("height", 0) >= 300]


def toast(desktop):
    """The confirmation toast while it is on screen, else None."""
    found = [w for w in desktop.windows("Tessik toast") if w.get("mapped")]
    return found[0] if found else None


def show_coordinate_pattern(desktop):
    """Fills the root window with a pattern encoding each pixel's root coordinates."""
    import patterns
    w, h = (int(v) for v in desktop.root_size.split("x"))
    path = os.path.join(desktop.tmp, "pattern.png")
    patterns.coordinate_pattern(w, h, path)
    desktop.set_root_pattern(path)
    return path
