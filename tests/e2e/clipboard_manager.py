"""A clipboard manager as desktops run one: it owns CLIPBOARD_MANAGER and, when the clipboard's
owner asks it to SAVE_TARGETS as it quits, fetches the clipboard's image/png from that owner,
then owns the clipboard itself and serves those bytes. Writes what it saved to the file named
on its command line, and prints "ready" once it is the manager."""

import sys

from Xlib import X, Xatom, display
from Xlib.protocol import event


def wait_for(d, kind, accept=lambda e: True):
    while True:
        e = d.next_event()
        if e.type == kind and accept(e):
            return e


def fetch(d, window, selection, target, prop, incr):
    """The selection's content as another application pastes it, INCR included; None when
    the owner refuses."""
    window.convert_selection(selection, target, prop, X.CurrentTime)
    d.flush()
    notify = wait_for(d, X.SelectionNotify)
    if notify.property == X.NONE:
        return None
    first = window.get_full_property(prop, X.AnyPropertyType)
    window.delete_property(prop)
    d.flush()
    if first is None:
        return None
    if first.property_type != incr:
        return bytes(first.value)
    data = b""
    while True:
        wait_for(d, X.PropertyNotify, lambda e: e.atom == prop and e.state == X.PropertyNewValue)
        chunk = window.get_full_property(prop, X.AnyPropertyType)
        window.delete_property(prop)
        d.flush()
        if chunk is None or not chunk.value:
            return data
        data += bytes(chunk.value)


def reply(d, request, prop):
    request.requestor.send_event(event.SelectionNotify(
        time=request.time, requestor=request.requestor, selection=request.selection,
        target=request.target, property=prop), event_mask=0)
    d.flush()


def main(out):
    d = display.Display()
    atom = d.intern_atom
    manager, save, clipboard = atom("CLIPBOARD_MANAGER"), atom("SAVE_TARGETS"), atom("CLIPBOARD")
    png, targets, incr, prop = atom("image/png"), atom("TARGETS"), atom("INCR"), atom("SAVED")
    window = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent,
                                           event_mask=X.PropertyChangeMask)
    window.set_selection_owner(manager, X.CurrentTime)
    d.flush()
    print("ready", flush=True)
    saved = None
    while True:
        e = wait_for(d, X.SelectionRequest)
        answer = e.property if e.property != X.NONE else e.target
        if e.selection == manager and e.target == save and saved is None:
            saved = fetch(d, window, clipboard, png, prop, incr)
            with open(out, "wb") as f:
                f.write(saved or b"")
            reply(d, e, answer if saved else X.NONE)
            if saved:
                window.set_selection_owner(clipboard, X.CurrentTime)
                d.flush()
        elif e.selection == clipboard and saved and e.target == targets:
            e.requestor.change_property(answer, Xatom.ATOM, 32, [png, targets])
            reply(d, e, answer)
        elif e.selection == clipboard and saved and e.target == png:
            e.requestor.change_property(answer, png, 8, saved)
            reply(d, e, answer)
        else:
            reply(d, e, X.NONE)


if __name__ == "__main__":
    main(sys.argv[1])
