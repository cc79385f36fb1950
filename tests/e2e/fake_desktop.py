#!/usr/bin/python3
"""Desktop services for tests, on the session bus of $DBUS_SESSION_BUS_ADDRESS: a status-notifier
watcher with a host registered (as a panel with a tray provides) and a notification server. Each
call they receive is appended to the file given as argument as one JSON line; "ready" is printed
once every name is owned.

    fake_desktop.py LOG [--watcher] [--notifications]
"""

import json
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"
NOTIFICATIONS = "org.freedesktop.Notifications"
PROPERTIES = "org.freedesktop.DBus.Properties"

# Qt reads the watcher's properties through introspection, which dbus-python does not generate.
WATCHER_XML = """<node><interface name="org.kde.StatusNotifierWatcher">
<method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
<method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
<property name="RegisteredStatusNotifierItems" type="as" access="read"/>
<property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
<property name="ProtocolVersion" type="i" access="read"/>
<signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
<signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
<signal name="StatusNotifierHostRegistered"/>
</interface>
<interface name="org.freedesktop.DBus.Properties">
<method name="Get"><arg type="s" direction="in"/><arg type="s" direction="in"/>
<arg type="v" direction="out"/></method>
<method name="GetAll"><arg type="s" direction="in"/><arg type="a{sv}" direction="out"/></method>
</interface></node>"""


def record(path, entry):
    with open(path, "a", encoding="utf-8") as f:
        f.write(json.dumps(entry) + "\n")


class Watcher(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.log = log
        self.items = []

    @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        # An item names its bus name, or only its object path on the caller's connection.
        name = f"{sender}{service}" if service.startswith("/") else str(service)
        self.items.append(name)
        record(self.log, {"call": "RegisterStatusNotifierItem", "service": str(service),
                          "sender": str(sender)})
        self.StatusNotifierItemRegistered(name)

    @dbus.service.method(WATCHER, in_signature="s")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemUnregistered(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="")
    def StatusNotifierHostRegistered(self):
        pass

    def properties(self):
        return {"RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
                "IsStatusNotifierHostRegistered": dbus.Boolean(True),
                "ProtocolVersion": dbus.Int32(0)}

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.properties()[str(name)]

    @dbus.service.method(PROPERTIES, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.properties()

    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, out_signature="s")
    def Introspect(self):
        return WATCHER_XML


class Notifications(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.log = log
        self.last_id = 0

    @dbus.service.method(NOTIFICATIONS, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, timeout):
        if replaces_id == 0:
            self.last_id += 1
        notification_id = replaces_id or self.last_id
        record(self.log, {"call": "Notify", "app_name": str(app_name),
                          "replaces_id": int(replaces_id), "id": notification_id,
                          "app_icon": str(app_icon), "summary": str(summary), "body": str(body),
                          "actions": [str(a) for a in actions],
                          "hints": {str(k): (v if isinstance(v, (bool, int)) else str(v))
                                    for k, v in hints.items()},
                          "timeout": int(timeout)})
        return dbus.UInt32(notification_id)

    @dbus.service.method(NOTIFICATIONS, in_signature="u")
    def CloseNotification(self, notification_id):
        record(self.log, {"call": "CloseNotification", "id": int(notification_id)})

    @dbus.service.method(NOTIFICATIONS, out_signature="as")
    def GetCapabilities(self):
        return ["body"]

    @dbus.service.method(NOTIFICATIONS, out_signature="ssss")
    def GetServerInformation(self):
        return ("fake_desktop", "Tessik tests", "1", "1.2")


def main():
    log = sys.argv[1]
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    keep = []
    if "--watcher" in sys.argv:
        keep.append(Watcher(bus, log))
        keep.append(dbus.service.BusName(WATCHER, bus))
    if "--notifications" in sys.argv:
        keep.append(Notifications(bus, log))
        keep.append(dbus.service.BusName(NOTIFICATIONS, bus))
    print("ready", flush=True)
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
