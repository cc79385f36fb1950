"""What a window shows, read from the accessibility bus (AT-SPI) of a test desktop's session bus:
Qt's widgets publish their role, name, text and state there when QT_LINUX_ACCESSIBILITY_ALWAYS_ON
is set. Works the same on X11 and Wayland.

    env = accessibility.enable(d)      # before tessik starts
    d.start_tessik(env=env)
    for control in accessibility.controls(d, "Réglages Tessik"): ...
"""

import json
import os
import shutil
import subprocess

# Lists the controls of the window named argv[1] as JSON: role, name, text, enabled.
DUMP = r"""
import json
import sys
import gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi

def text_of(node):
    iface = node.get_text_iface()
    if iface is None:
        return None
    return Atspi.Text.get_text(iface, 0, Atspi.Text.get_character_count(iface))

def walk(node, out):
    if node is None:  # a child that went away while being listed
        return
    states = node.get_state_set()
    out.append({"role": node.get_role_name(), "name": node.get_name(), "text": text_of(node),
                "enabled": states.contains(Atspi.StateType.ENABLED),
                "showing": states.contains(Atspi.StateType.SHOWING)})
    for i in range(node.get_child_count()):
        walk(node.get_child_at_index(i), out)

desktop = Atspi.get_desktop(0)
found = []
for a in range(desktop.get_child_count()):
    app = desktop.get_child_at_index(a)
    for w in range(app.get_child_count() if app is not None else 0):
        window = app.get_child_at_index(w)
        if window is not None and window.get_name() == sys.argv[1]:
            walk(window, found)
print(json.dumps(found))
"""


def enable(desktop):
    """Lets the desktop's session bus start the accessibility bus; returns the environment
    that makes tessik publish its widgets there."""
    shutil.copy("/usr/share/dbus-1/services/org.a11y.Bus.service",
                os.path.join(desktop.tmp, "services"))
    return {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}


def controls(desktop, window_name):
    """The controls of a window as dicts (role, name, text, enabled, showing); [] when the
    window is not on the bus."""
    result = subprocess.run(["/usr/bin/python3", "-c", DUMP, window_name], env=desktop.env(),
                            capture_output=True, text=True, timeout=30)
    try:
        return json.loads(result.stdout or "[]")
    except ValueError:
        return []
