#!/usr/bin/env python3
# Walks the running program's windows over the accessibility bus, as a screen reader sees them,
# and counts the interactive controls, those without a useful name and those that cannot take the
# keyboard focus. It opens the windows itself through the bus (the same presses a screen reader
# user would make): HELP, Set Index, Functions, MP3 Encoder, CD Play/Rip and the Clip Player
# (through the user picker).
#
# A name is useful when it has at least two letters, is not the value the control shows (a combo
# box named after its current entry) and no other control of the same window has it.
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

R = Atspi.Role
INTERACTIVE = {
    R.PUSH_BUTTON, R.TOGGLE_BUTTON, R.CHECK_BOX, R.RADIO_BUTTON, R.COMBO_BOX, R.SPIN_BUTTON,
    R.SLIDER, R.SCROLL_BAR, R.TEXT, R.ENTRY, R.PASSWORD_TEXT, R.LIST, R.LIST_BOX, R.TABLE,
    R.TREE, R.TREE_TABLE, R.PAGE_TAB, R.MENU_ITEM, R.CHECK_MENU_ITEM, R.MENU,
}
# Their children are data (list rows, combo entries), not controls of the window.
NO_DESCENT = {R.LIST, R.LIST_BOX, R.TABLE, R.TREE, R.TREE_TABLE, R.COMBO_BOX, R.MENU,
              R.MENU_ITEM, R.SCROLL_BAR, R.SLIDER, R.SPIN_BUTTON}


def children(acc):
    try:
        n = acc.get_child_count()
    except Exception:
        return []
    out = []
    for k in range(n):
        try:
            c = acc.get_child_at_index(k)
        except Exception:
            c = None
        if c is not None:
            out.append(c)
    return out


def walk(acc, found):
    for c in children(acc):
        try:
            role = c.get_role()
            states = c.get_state_set()
        except Exception:
            continue
        if not states.contains(Atspi.StateType.SHOWING):
            continue
        if role in INTERACTIVE:
            found.append(c)
        if role not in NO_DESCENT:
            walk(c, found)


def combo_entries(acc):
    names = set()
    for c in children(acc):
        for item in children(c)[:500]:
            try:
                names.add(item.get_name())
            except Exception:
                pass
    return names


def audit_window(win):
    controls = []
    walk(win, controls)
    rows = []
    for c in controls:
        try:
            name = c.get_name() or ""
            role = c.get_role()
            focusable = c.get_state_set().contains(Atspi.StateType.FOCUSABLE)
        except Exception:
            continue
        rows.append((c, role, name, focusable))
    counts = {}
    for _, _, name, _ in rows:
        counts[name] = counts.get(name, 0) + 1
    bad, unfocusable = [], []
    for c, role, name, focusable in rows:
        letters = sum(ch.isalpha() for ch in name)
        useless = letters < 2 or counts[name] > 1
        if not useless and role == R.COMBO_BOX and name in combo_entries(c):
            useless = True
        if useless:
            bad.append((role.value_nick, name))
        # A menu bar's entries open by Alt and their access letter; they take no focus of their own.
        if not focusable and role not in (R.MENU_ITEM, R.MENU, R.CHECK_MENU_ITEM):
            unfocusable.append((role.value_nick, name))
    return rows, bad, unfocusable


def find_app(pid, timeout=120):
    desktop = Atspi.get_desktop(0)
    end = time.time() + timeout
    while time.time() < end:
        for app in children(desktop):
            try:
                # 0: the first program of that name (one started under a debugger, say).
                if app.get_process_id() == pid or (pid == 0 and app.get_name() == "Brisko"):
                    return app
            except Exception:
                pass
        time.sleep(0.2)
    return None


def windows(app):
    """The top-level windows by title; a second window of one title gets " (2)" and so on."""
    out = {}
    for w in children(app):
        title = w.get_name()
        k = 2
        while title in out:
            title = f"{w.get_name()} ({k})"
            k += 1
        out[title] = w
    return out


def find(acc, name, role=None, depth=0):
    for c in children(acc):
        try:
            if c.get_name() == name and (role is None or c.get_role() == role):
                return c
        except Exception:
            continue
        if depth < 8:
            hit = find(c, name, role, depth + 1)
            if hit is not None:
                return hit
    return None


def press(acc):
    action = acc.get_action_iface()
    for k in range(action.get_n_actions()):
        if action.get_action_name(k) in ("press", "Press", "click", "toggle"):
            action.do_action(k)
            return True
    return False


def wait_window(app, title, timeout=60):
    end = time.time() + timeout
    while time.time() < end:
        w = windows(app).get(title)
        if w is not None:
            return w
        time.sleep(0.2)
    return None


def readout_events(main_window):
    """Presses the time-to-the-hour readout key as the operator would and returns what the bus
    told of the status line: (event type, its text), the way a screen reader hears it."""
    from gi.repository import GLib
    heard = []

    def on_event(e):
        try:
            if e.source.get_role() == R.STATUS_BAR:
                heard.append((e.type, e.source.get_name()))
        except Exception:
            pass

    listener = Atspi.EventListener.new(on_event)
    for kind in ("object:property-change:accessible-name", "object:text-changed"):
        listener.register(kind)
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Brisko$"],
                           capture_output=True, text=True).stdout.split()
    if not found:
        return heard
    subprocess.run(["xdotool", "windowfocus", "--sync", found[0]], capture_output=True)
    time.sleep(0.5)
    subprocess.run(["xdotool", "key", "ctrl+alt+h"])
    loop = GLib.MainLoop()
    GLib.timeout_add(1500, loop.quit)
    loop.run()
    for kind in ("object:property-change:accessible-name", "object:text-changed"):
        listener.deregister(kind)
    return heard


def main():
    pid = int(sys.argv[1])
    verbose = "-v" in sys.argv
    app = find_app(pid)
    if app is None:
        print("a11y audit: the program did not appear on the accessibility bus")
        return 1
    main_window = wait_window(app, "Brisko")
    if main_window is None:
        print("a11y audit: no main window")
        return 1

    heard = readout_events(main_window)
    kinds = sorted({kind for kind, _ in heard})
    said = heard[-1][1] if heard else ""
    print(f"readout key Ctrl+Alt+H: the status line raised {len(heard)} events {kinds} "
          f"saying {said!r}  (goal: a name or text change with the sentence)")

    def open_by(button, title, window=None):
        source = window if window is not None else main_window
        b = find(source, button, R.PUSH_BUTTON)
        if b is None:
            print(f"a11y audit: no button {button!r} to open {title!r}")
            return None
        press(b)
        return wait_window(app, title)

    open_by("HELP", "Help")
    open_by("Set Index", "Set Index")
    open_by("MP3 Encoder", "MP3 Encoder") or None
    open_by("CD Play/Rip", None)
    results = {}
    picker = open_by("Clip Player", "Pick a Clip Player User")
    if picker is not None:
        # The picker hides once a user is chosen: walked while it is open.
        time.sleep(1)
        results["Pick a Clip Player User"] = (picker, audit_window(picker))
        open_by("Choose User", "Clip Player", picker)
    # The Functions window opens from the Options menu.
    item = find(main_window, "Functions")
    if item is not None:
        press(item)
    time.sleep(2)
    for title, win in windows(app).items():
        if title not in results:
            results[title] = (win, audit_window(win))

    total = named_bad = unfocus = 0
    print(f"{'window':36} {'controls':>8} {'no useful name':>15} {'not focusable':>14}")
    for title, (win, (rows, bad, unfocusable)) in sorted(results.items()):
        if not rows:
            continue
        if verbose:
            texts = [c.get_name() for c in children(win)][:6]
            print(f"  {title}: {texts}")
        total += len(rows)
        named_bad += len(bad)
        unfocus += len(unfocusable)
        print(f"{title[:36]:36} {len(rows):8} {len(bad):15} {len(unfocusable):14}")
        if verbose:
            for role, name in bad:
                print(f"    no useful name: {role} {name!r}")
            for role, name in unfocusable:
                print(f"    not focusable:  {role} {name!r}")
    share = 100.0 * named_bad / total if total else 0.0
    print(f"{'all windows':36} {total:8} {named_bad:15} {unfocus:14}")
    print(f"interactive controls: {total}; without a useful name: {named_bad} ({share:.0f} %); "
          f"not focusable: {unfocus}  (goal: 0 without a useful name)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
