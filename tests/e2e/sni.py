"""The desktop side of a StatusNotifierItem tray, for tests: fake_desktop.py owns the watcher (and
a notification server); these helpers find Tessik's item and read and click its exported menu as
a panel would."""

import json
import os
import subprocess

import dbus

from rig import wait_until

HERE = os.path.dirname(os.path.abspath(__file__))
MENU = "com.canonical.dbusmenu"


class FakeDesktop:
    """fake_desktop.py on the bus of `env`, started and stopped by pid; its calls in `log`."""

    def __init__(self, env, directory, *services):
        self.log = os.path.join(directory, "fake_desktop.jsonl")
        with open(os.path.join(directory, "fake_desktop.err"), "ab") as err:
            self.proc = subprocess.Popen(["/usr/bin/python3",
                                          os.path.join(HERE, "fake_desktop.py"), self.log,
                                          *services], env=env, stdout=subprocess.PIPE,
                                         stderr=err, text=True)
        if self.proc.stdout.readline().strip() != "ready":
            self.stop()
            raise RuntimeError("fake_desktop.py did not start")

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait(5)
        self.proc.stdout.close()

    def calls(self, name):
        try:
            with open(self.log, encoding="utf-8") as f:
                entries = [json.loads(line) for line in f if line.strip()]
        except FileNotFoundError:
            return []
        return [e for e in entries if e["call"] == name]


class TrayItem:
    """The item Tessik registered with the watcher, reached over `address`."""

    def __init__(self, address, registration):
        self.bus = dbus.bus.BusConnection(address)
        service = registration["service"]
        if service.startswith("/"):
            name, path = registration["sender"], service
        else:
            name, path = service, "/StatusNotifierItem"
        self.item = self.bus.get_object(name, path)
        self.properties = self.item.GetAll("org.kde.StatusNotifierItem",
                                           dbus_interface=dbus.PROPERTIES_IFACE)
        self.menu = self.bus.get_object(name, self.properties["Menu"])

    def layout(self):
        """The menu's top-level entries as (id, label or None for a separator)."""
        self.menu.AboutToShow(0, dbus_interface=MENU)
        _, (_, _, children) = self.menu.GetLayout(0, -1, [], dbus_interface=MENU)
        entries = []
        for child_id, props, _ in children:
            if not props.get("visible", True):
                continue
            separator = props.get("type") == "separator"
            entries.append((int(child_id), None if separator else str(props.get("label", ""))))
        return entries

    def event(self, item_id, event_id):
        self.menu.Event(item_id, event_id, dbus.Int32(0, variant_level=1), dbus.UInt32(0),
                        dbus_interface=MENU)

    def click(self, label):
        """Opens the menu, clicks the item labelled `label` and closes the menu, as a panel does."""
        ids = [i for i, text in self.layout() if text == label]
        if not ids:
            raise AssertionError(f"no menu item {label!r} in {self.layout()}")
        self.event(0, "opened")
        self.event(ids[0], "clicked")
        self.event(0, "closed")


def registered_item(desktop_services, address, timeout=15):
    registration = wait_until(lambda: desktop_services.calls("RegisterStatusNotifierItem"),
                              timeout=timeout, what="the item to register")[0]
    return TrayItem(address, registration)
