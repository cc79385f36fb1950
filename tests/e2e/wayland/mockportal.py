#!/usr/bin/python3
# A portal backend for tests: impl.Screenshot v2 (grim | cancel | error | hang | nouri | noturi |
# notpng | small | userdir), impl.Access, impl.GlobalShortcuts v1,
# and a control interface com.example.TessikMock to choose answers and fire shortcuts.
# Screenshots are written to $MOCK_OUT (default: $XDG_RUNTIME_DIR).
import os, subprocess, time, dbus, dbus.service
OUT = os.environ.get("MOCK_OUT") or os.environ.get("XDG_RUNTIME_DIR", "/tmp")
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib
DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
PATH = "/org/freedesktop/portal/desktop"
IFS, IFA, IFG = ("org.freedesktop.impl.portal.Screenshot", "org.freedesktop.impl.portal.Access",
                 "org.freedesktop.impl.portal.GlobalShortcuts")
CTL = "com.example.TessikMock"
def log(*a): print("MOCK:", *a, flush=True)
sessions = {}
class Session(dbus.service.Object):
    def __init__(self, path, app_id):
        super().__init__(bus, path); self.path = path; self.app_id = app_id
        self.shortcuts = dbus.Array([], signature="(sa{sv})")
    @dbus.service.method("org.freedesktop.impl.portal.Session")
    def Close(self):
        log("session close", self.path); sessions.pop(self.path, None); self.remove_from_connection()
    @dbus.service.signal("org.freedesktop.impl.portal.Session", signature="a{sv}")
    def Closed(self, details): pass
class Mock(dbus.service.Object):
    def __init__(self):
        super().__init__(bus, PATH); self.mode = "grim"; self.access = 0; self.access_delay = 0.0; self.n = 0; self.bind_refused = False
        self.trigger = ""  # what binds report as trigger_description; "" the preferred trigger
        self.requests = 0; self.hung = []; self.files = []
    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, iface, prop):
        if prop == "version": return dbus.UInt32({IFS: 2, IFG: 1}.get(iface, 1))
        raise dbus.exceptions.DBusException("no such property", name="org.freedesktop.DBus.Error.UnknownProperty")
    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, iface): return {"version": dbus.UInt32({IFS: 2, IFG: 1}.get(iface, 1))}
    @dbus.service.method(IFS, in_signature="ossa{sv}", out_signature="ua{sv}",
                         async_callbacks=("reply", "error"))
    def Screenshot(self, handle, app_id, parent_window, options, reply, error):
        log("Screenshot app_id=%r options=%s mode=%s" % (str(app_id), dict(options), self.mode))
        self.requests += 1
        if self.mode == "hang": self.hung.append(reply); return     # never answers
        reply(*self.shot())
    def shot(self):
        if self.mode == "cancel": return (dbus.UInt32(1), {})
        if self.mode == "error": return (dbus.UInt32(2), {})
        if self.mode == "nouri": return (dbus.UInt32(0), {"other": "x"})
        if self.mode == "noturi": return (dbus.UInt32(0), {"uri": "https://example.invalid/shot.png"})
        self.n += 1
        folder = os.path.join(os.environ.get("HOME", OUT), "Pictures") if self.mode == "userdir" else OUT
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "mockshot-%d.png" % self.n)
        if self.mode == "notpng":
            with open(path, "w") as f: f.write("not an image\n")
        elif self.mode == "small":
            if subprocess.call(["grim", "-o", "HEADLESS-1", path]) != 0: return (dbus.UInt32(2), {})
        elif subprocess.call(["grim", path]) != 0: return (dbus.UInt32(2), {})
        self.files.append(path)
        return (dbus.UInt32(0), {"uri": "file://" + path})
    @dbus.service.method(IFS, in_signature="ossa{sv}", out_signature="ua{sv}")
    def PickColor(self, handle, app_id, parent_window, options):
        return (dbus.UInt32(0), {"color": dbus.Struct((1.0, 0.0, 0.0), signature="ddd")})
    @dbus.service.method(IFA, in_signature="osssssa{sv}", out_signature="ua{sv}",
                         async_callbacks=("reply", "error"))
    def AccessDialog(self, handle, app_id, parent_window, title, subtitle, body, options, reply, error):
        log("AccessDialog app_id=%r title=%r -> %d" % (str(app_id), str(title), self.access))
        answer = (dbus.UInt32(self.access), {})
        # The user takes a while to answer when a delay is set.
        GLib.timeout_add(int(self.access_delay * 1000), lambda: reply(*answer) and False)
    @dbus.service.method(IFG, in_signature="oosa{sv}", out_signature="ua{sv}")
    def CreateSession(self, handle, session_handle, app_id, options):
        sessions[str(session_handle)] = Session(str(session_handle), str(app_id))
        return (dbus.UInt32(0), {"session_handle": dbus.String(session_handle)})
    @dbus.service.method(IFG, in_signature="ooa(sa{sv})sa{sv}", out_signature="ua{sv}")
    def BindShortcuts(self, handle, session_handle, shortcuts, parent_window, options):
        s = sessions.get(str(session_handle))
        if s is None: return (dbus.UInt32(2), {})
        log("BindShortcuts", str(session_handle), [(str(i), str(o.get("preferred_trigger", ""))) for i, o in shortcuts])
        s.requested = [(str(i), str(o.get("preferred_trigger", ""))) for i, o in shortcuts]
        if mock.bind_refused: return (dbus.UInt32(2), {})
        s.shortcuts = dbus.Array([dbus.Struct((i, dbus.Dictionary({"description": o.get("description", ""),
                "trigger_description": self.trigger or o.get("preferred_trigger", "Print")}, signature="sv")), signature="sa{sv}")
                for i, o in shortcuts], signature="(sa{sv})")
        return (dbus.UInt32(0), {"shortcuts": s.shortcuts})
    @dbus.service.method(IFG, in_signature="oo", out_signature="ua{sv}")
    def ListShortcuts(self, handle, session_handle):
        s = sessions.get(str(session_handle))
        return (dbus.UInt32(0 if s else 2), {"shortcuts": s.shortcuts} if s else {})
    @dbus.service.signal(IFG, signature="osta{sv}")
    def Activated(self, session_handle, shortcut_id, timestamp, options): pass
    @dbus.service.signal(IFG, signature="osta{sv}")
    def Deactivated(self, session_handle, shortcut_id, timestamp, options): pass
    @dbus.service.method(CTL, in_signature="s")
    def SetScreenshotMode(self, m): self.mode = str(m)          # see the modes above
    @dbus.service.method(CTL, in_signature="", out_signature="u")
    def ScreenshotRequests(self): return dbus.UInt32(self.requests)
    @dbus.service.method(CTL, in_signature="", out_signature="as")
    def ScreenshotFiles(self): return self.files          # every file handed out, in order
    @dbus.service.method(CTL, in_signature="u")
    def SetAccessAnswer(self, a): self.access = int(a)         # 0 grant, 2 deny
    @dbus.service.method(CTL, in_signature="d")
    def SetAccessDelay(self, seconds): self.access_delay = float(seconds)   # before the answer
    @dbus.service.method(CTL, in_signature="", out_signature="as")
    def ListSessions(self): return list(sessions.keys())
    @dbus.service.method(CTL, in_signature="", out_signature="a(sss)")
    def ListBound(self):
        # (session, shortcut id, preferred trigger) of every BindShortcuts request received
        return [(k, i, t) for k, s in sessions.items() for i, t in getattr(s, "requested", [])]
    @dbus.service.method(CTL, in_signature="b")
    def SetBindRefused(self, refused): self.bind_refused = bool(refused)   # answer BindShortcuts with 2
    @dbus.service.method(CTL, in_signature="s")
    def SetTriggerDescription(self, text): self.trigger = str(text)   # the desktop chooses its own trigger
    @dbus.service.signal(IFG, signature="oa(sa{sv})")
    def ShortcutsChanged(self, session_handle, shortcuts): pass
    @dbus.service.method(CTL, in_signature="oss")
    def ChangeTrigger(self, session_handle, shortcut_id, text):
        # The user gave the shortcut another trigger in the desktop's settings.
        s = sessions[str(session_handle)]
        s.shortcuts = dbus.Array([dbus.Struct((i, dbus.Dictionary(dict(p, trigger_description=text) if i == shortcut_id else p, signature="sv")), signature="sa{sv}")
                                  for i, p in s.shortcuts], signature="(sa{sv})")
        self.ShortcutsChanged(session_handle, s.shortcuts)
    @dbus.service.method(CTL, in_signature="os")
    def Activate(self, session_handle, shortcut_id):
        ts = dbus.UInt64(int(time.monotonic() * 1000)); empty = dbus.Dictionary({}, signature="sv")
        self.Activated(session_handle, shortcut_id, ts, empty)
        self.Deactivated(session_handle, shortcut_id, ts + 50, empty)
name = dbus.service.BusName("org.freedesktop.impl.portal.desktop.tessikmock", bus)
mock = Mock(); log("ready"); GLib.MainLoop().run()
