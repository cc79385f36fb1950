"""Wayland end-to-end rig: a private headless sway with two outputs (HEADLESS-1 1280x720 at scale
1; HEADLESS-2 1920x1080 at scale 2, seen as 960x540 at 1280,0), its own D-Bus session bus, one
background image per output, a wayvnc per output (a persistent virtual pointer and keyboard,
driven through wayland/rfb.py) and the screenshot portal: "real" (xdg-desktop-portal with the
wlr backend taking the screenshots), "mock" (xdg-desktop-portal with wayland/mockportal.py,
whose answers a test chooses) or "none". Everything started is stopped by pid, also when a test fails.

    with WaylandDesktop(portal="mock") as d:
        d.start_tessik()
        ...

As a command, it runs one command inside such a desktop (the environment is passed on):
    python3 wlrig.py [--portal real|mock|none] -- COMMAND [ARGS...]

sway refuses to run as root: as root it runs alone in a user namespace, every other process
stays root and connects normally.
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

from rig import PrivateDesktop, mark_welcomed, wait_until

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.join(HERE, "wayland")
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable

# name, mode (buffer pixels), logical position, scale
OUTPUTS = [("HEADLESS-1", (1280, 720), (0, 0), 1), ("HEADLESS-2", (1920, 1080), (1280, 0), 2)]
MOCK_NAME = "org.freedesktop.impl.portal.desktop.tessikmock"
PORTAL_PATH = "/org/freedesktop/portal/desktop"


def logical_rect(index):
    """An output's rectangle in logical pixels: (x, y, width, height)."""
    _, (w, h), (x, y), scale = OUTPUTS[index]
    return x, y, w // scale, h // scale


class WaylandDesktop(PrivateDesktop):
    def __init__(self, portal="mock", backgrounds=None, env=None, permission="yes",
                 shortcuts=True, keyboard=None):
        self.portal = portal
        # The mock consults the permission store (as GNOME's portal does): its screenshot answer
        # for unsandboxed applications ("yes", "no", or None for none at all).
        self.permission = permission
        # Whether the mock offers the GlobalShortcuts portal.
        self.shortcuts = shortcuts
        self.backgrounds = backgrounds  # one image per output, of its buffer size, or None
        # The layout of the seat's keyboards (wayvnc's -k, e.g. "fr"); None: wayvnc's (us).
        self.keyboard = keyboard
        self.extra_env = env or {}
        self.procs = []
        self.tessik = None
        self.tmp = None

    def _start(self):
        # Outside /tmp, so that HOME is not a temporary place in Tessik's eyes.
        self.tmp = tempfile.mkdtemp(prefix="tessik-wl-",
                                    dir="/var/tmp" if os.path.isdir("/var/tmp") else None)
        self.run_dir = os.path.join(self.tmp, "run")
        self.home = os.path.join(self.tmp, "home")
        for d in (self.run_dir, os.path.join(self.tmp, "services"),
                  os.path.join(self.tmp, "portals")):
            os.makedirs(d)
        for sub in (".config", ".cache", ".local/share", "Pictures"):
            os.makedirs(os.path.join(self.home, sub))
        mark_welcomed(self.home)
        os.chmod(self.run_dir, 0o700)
        self.wayland_display = ""
        self._start_bus()
        self._start_sway()
        self._start_backgrounds()
        self._start_input()
        if self.portal != "none":
            self._start_portal()
        # A whole-desktop capture right after windows map can miss the second output once.
        self.prime()

    def _start_bus(self):
        conf = os.path.join(self.tmp, "session.conf")
        with open(conf, "w") as f:
            f.write(f"""<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <!-- What sway starts (a key binding's command) lives in sway's user namespace and cannot
       prove its uid to a bus run as root. -->
  <auth>EXTERNAL</auth><auth>ANONYMOUS</auth><allow_anonymous/>
  <listen>unix:path={self.run_dir}/bus</listen>
  <servicedir>{self.tmp}/services</servicedir>
  <policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy>
</busconfig>
""")
        with open(os.path.join(self.tmp, "services",
                               "org.freedesktop.impl.portal.PermissionStore.service"), "w") as f:
            f.write("[D-BUS Service]\nName=org.freedesktop.impl.portal.PermissionStore\n"
                    "Exec=/usr/libexec/xdg-permission-store\n")
        self._spawn(["dbus-daemon", "--config-file=" + conf, "--nofork"], "dbus")
        self.bus_address = f"unix:path={self.run_dir}/bus"
        wait_until(lambda: os.path.exists(os.path.join(self.run_dir, "bus")), timeout=10,
                   what="the session bus")

    def _start_sway(self):
        conf = os.path.join(self.tmp, "sway.conf")
        with open(conf, "w") as f:
            for name, (w, h), (x, y), scale in OUTPUTS:
                f.write(f"output {name} mode {w}x{h} position {x} {y} scale {scale}\n")
            f.write("xwayland disable\ndefault_border none\n")
        argv = ["sway", "-c", conf]
        if os.getuid() == 0:
            argv = ["unshare", "--user", "--map-user=1000", "--map-group=1000"] + argv
        self._spawn(argv, "sway", env=self.env(WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
                                              WLR_RENDERER="pixman",
                                              WLR_HEADLESS_OUTPUTS=str(len(OUTPUTS))))
        wait_until(lambda: self.swaymsg("-t", "get_outputs", check=False).returncode == 0,
                   timeout=15, what="sway")
        names = [n for n in os.listdir(self.run_dir) if n.startswith("wayland-")
                 and not n.endswith(".lock")]
        if not names:
            raise RuntimeError("sway did not start:\n" + self.read_log("sway"))
        self.wayland_display = sorted(names)[0]

    def _start_backgrounds(self):
        colours = ["#336699", "#996633"]
        for i, (name, *_rest) in enumerate(OUTPUTS):
            image = self.backgrounds[i] if self.backgrounds else None
            argv = ["swaybg", "-o", name] + (["-i", image, "-m", "fill"] if image
                                              else ["-c", colours[i]])
            self._spawn(argv, f"swaybg{i + 1}")

    def _start_input(self):
        self.vnc = []
        for i, (name, *_rest) in enumerate(OUTPUTS):
            sock = os.path.join(self.run_dir, f"vnc{i + 1}.sock")
            layout = ["-k", self.keyboard] if self.keyboard else []
            self._spawn(["wayvnc", "-u", "-o", name, *layout, sock], f"vnc{i + 1}")
            self.vnc.append(sock)
        wait_until(lambda: all(os.path.exists(s) for s in self.vnc), timeout=10, what="wayvnc")

    def _start_portal(self):
        # The 1.16 frontend exports Screenshot only beside an access-dialog implementation
        # (desktops have one in their own portal): the mock gives it in both modes. "real"
        # takes screenshots with the wlr backend, "mock" with the mock itself.
        portals = os.path.join(self.tmp, "portals")
        mock_interfaces = ["org.freedesktop.impl.portal.Access"]
        if self.portal == "real":
            self._spawn(["pipewire"], "pipewire")
            time.sleep(0.3)
            self._spawn(["/usr/libexec/xdg-desktop-portal-wlr"], "xdpw")
            shutil.copy("/usr/share/xdg-desktop-portal/portals/wlr.portal", portals)
            # The frontend only uses a backend whose objects are on the bus when it starts.
            wait_until(lambda: "impl.portal.Screenshot" in self.run(
                ["gdbus", "introspect", "--session", "--dest",
                 "org.freedesktop.impl.portal.desktop.wlr", "--object-path", PORTAL_PATH],
                check=False).stdout, timeout=15, what="the wlr portal backend")
        else:
            mock_interfaces += ["org.freedesktop.impl.portal.Screenshot"]
            if self.shortcuts:
                mock_interfaces += ["org.freedesktop.impl.portal.GlobalShortcuts"]
        with open(os.path.join(portals, "tessikmock.portal"), "w") as f:
            f.write(f"[portal]\nDBusName={MOCK_NAME}\nInterfaces={';'.join(mock_interfaces)};\n"
                    "UseIn=sway\n")
        self._spawn([PYTHON, os.path.join(TOOLS, "mockportal.py")], "mock",
                    env=self.env(MOCK_OUT=self.run_dir))
        wait_until(lambda: "ready" in self.read_log("mock"), timeout=15, what="the mock portal")
        self._spawn(["/usr/libexec/xdg-desktop-portal", "-v", "-r"], "xdp",
                    env=self.env(XDG_DESKTOP_PORTAL_DIR=portals))
        wait_until(lambda: "portal.Screenshot" in self.run(
            ["gdbus", "introspect", "--session", "--dest", "org.freedesktop.portal.Desktop",
             "--object-path", PORTAL_PATH], check=False).stdout, timeout=15, what="the portal")
        if self.portal == "mock" and self.permission:
            self.set_screenshot_permission(self.permission)

    def prime(self):
        for name, *_rest in OUTPUTS:
            self.run(["grim", "-o", name, "-"], check=False, text=False)

    # -- environment -------------------------------------------------------------------------
    def env(self, **extra):
        e = {k: v for k, v in os.environ.items()
             if k not in ("DISPLAY", "QT_SCREEN_SCALE_FACTORS", "QT_SCALE_FACTOR",
                          "XDG_SESSION_TYPE", "XAUTHORITY")}
        e.update({
            "HOME": self.home,
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
            "XDG_DATA_HOME": os.path.join(self.home, ".local/share"),
            "XDG_RUNTIME_DIR": self.run_dir,
            "XDG_CURRENT_DESKTOP": "sway",
            "DBUS_SESSION_BUS_ADDRESS": f"unix:path={self.run_dir}/bus",
            "SWAYSOCK": os.path.join(self.run_dir, "sway.sock"),
            "WAYLAND_DISPLAY": self.wayland_display,
            "QT_QPA_PLATFORM": "wayland",
            "LC_ALL": "C.UTF-8",
        })
        if len(getattr(self, "vnc", [])) == len(OUTPUTS):
            e.update({f"VNC{i + 1}": s for i, s in enumerate(self.vnc)})
        e["WL_DIR"] = self.tmp
        e.update(self.extra_env)
        e.update(extra)
        return {k: v for k, v in e.items() if v is not None}  # None removes a variable

    # -- sway --------------------------------------------------------------------------------
    def swaymsg(self, *args, check=True):
        return self.run(["swaymsg", *args], check=check)

    def tree(self):
        return json.loads(self.swaymsg("-t", "get_tree").stdout)

    def windows(self, pid=None, everyone=False):
        """Top-level windows (of a process, by default tessik's; of every client with
        `everyone`) with the output they are on."""
        pid = None if everyone else pid or (self.tessik.pid if self.tessik else None)
        found = []

        def walk(node, output):
            if node.get("type") == "output":
                output = node.get("name")
            if node.get("pid") and (pid is None or node.get("pid") == pid):
                found.append(dict(node, output=output))
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child, output)
        walk(self.tree(), None)
        return found

    def overlays(self):
        """Tessik's fullscreen windows, by output name."""
        return {w["output"]: w for w in self.windows() if w.get("fullscreen_mode")}

    def focused_output(self):
        for o in json.loads(self.swaymsg("-t", "get_outputs").stdout):
            if o.get("focused"):
                return o["name"]
        return None

    # -- input (coordinates are the output's buffer pixels) ----------------------------------
    def rfb(self, output, *commands):
        self.run([PYTHON, os.path.join(TOOLS, "rfb.py"), self.vnc[output], *commands])

    def drag(self, output, x0, y0, x1, y1, steps=4):
        moves = [f"move:{x0 + (x1 - x0) * i // steps},{y0 + (y1 - y0) * i // steps}"
                 for i in range(1, steps + 1)]
        self.rfb(output, f"move:{x0},{y0}", f"down:{x0},{y0}", *moves, f"up:{x1},{y1}")

    def key(self, output, keysym):
        self.rfb(output, f"key:{keysym:x}")

    def ctrl(self, output, keysym):
        self.rfb(output, "keydown:ffe3", f"key:{keysym:x}", "keyup:ffe3")

    # -- clipboard, screen, portal -----------------------------------------------------------
    def paste_types(self):
        r = self.run(["wl-paste", "--list-types"], check=False, timeout=10)
        return r.stdout.split() if r.returncode == 0 else []

    def paste(self, mime):
        r = subprocess.run(["wl-paste", "--no-newline", "-t", mime], env=self.env(),
                           capture_output=True, timeout=15)
        return r.stdout if r.returncode == 0 else None

    def grim(self, output, path):
        self.run(["grim", "-o", OUTPUTS[output][0], path])
        return path

    def mock(self, method, *args):
        """Calls the mock portal's control interface (com.example.TessikMock)."""
        return self.run(["gdbus", "call", "--session", "--dest", MOCK_NAME, "--object-path",
                         PORTAL_PATH, "--method", f"com.example.TessikMock.{method}",
                         *[str(a) for a in args]]).stdout.strip()

    def screenshot_permission(self):
        """The permission store's screenshot answers: {app id: [answers]}, {} when unset."""
        import dbus
        bus = dbus.bus.BusConnection(self.bus_address)
        try:
            store = bus.get_object("org.freedesktop.impl.portal.PermissionStore",
                                   "/org/freedesktop/impl/portal/PermissionStore")
            permissions, _data = store.Lookup(
                "screenshot", "screenshot",
                dbus_interface="org.freedesktop.impl.portal.PermissionStore")
            return {str(app): [str(a) for a in answers] for app, answers in permissions.items()}
        except dbus.exceptions.DBusException as e:
            if e.get_dbus_name() == "org.freedesktop.portal.Error.NotFound":
                return {}
            raise
        finally:
            bus.close()

    def set_screenshot_permission(self, answer):
        """Stores the permission store's screenshot answer ("yes"/"no") for unsandboxed apps."""
        self.run(["gdbus", "call", "--session", "--dest",
                  "org.freedesktop.impl.portal.PermissionStore", "--object-path",
                  "/org/freedesktop/impl/portal/PermissionStore", "--method",
                  "org.freedesktop.impl.portal.PermissionStore.SetPermission",
                  "screenshot", "true", "screenshot", "", f"['{answer}']"])


def main(argv):
    portal = "mock"
    if argv[:1] == ["--portal"]:
        portal, argv = argv[1], argv[2:]
    if argv[:1] == ["--"]:
        argv = argv[1:]
    if not argv:
        print(__doc__, file=sys.stderr)
        return 2
    with WaylandDesktop(portal=portal) as d:
        return subprocess.call(argv, env=d.env())


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
