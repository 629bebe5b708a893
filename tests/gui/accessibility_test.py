#!/usr/bin/python3
"""The real program as a screen reader sees it, through AT-SPI.

Run under an X server and a session bus of its own:
    xvfb-run -a dbus-run-session -- accessibility_test.py PROGRAM

Walks the program's accessibility tree: every control that takes the focus or
shows a value must have a name; the block count display's value must be
readable; a tick box toggled through its AT-SPI action must reach the program
as a click would (Save To Registry then writes the new value). Exits 77 when
the tools are missing.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

try:
    import pyatspi
except ImportError:
    print("python3-pyatspi is not installed: skipped")
    sys.exit(77)
if not os.environ.get("DISPLAY") or not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
    print("needs an X display and a session bus (xvfb-run, dbus-run-session): skipped")
    sys.exit(77)

program = sys.argv[1]
failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message)


def wait_for(what, condition, seconds=30):
    # Polls AT-SPI until the program has answered; only a bound on a start-up.
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = condition()
        if found:
            return found
        time.sleep(0.2)
    raise SystemExit("FAIL: gave up waiting for " + what)


def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


ROLES = {
    pyatspi.ROLE_PUSH_BUTTON: "button",
    pyatspi.ROLE_CHECK_BOX: "tick box",
    pyatspi.ROLE_TEXT: "text box",
    pyatspi.ROLE_ENTRY: "text box",
    pyatspi.ROLE_LABEL: "label",
}


def inside(node, frame):
    a = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    f = frame.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return a.x < f.x + f.width and f.x < a.x + a.width and a.y < f.y + f.height and f.y < a.y + a.height


def controls(frame):
    """The frame's controls a user can see: (accessible, role name). The state
    holders below a window's visible band count as showing but lie outside it."""
    found = []
    for node in walk(frame):
        states = node.getState()
        role = ROLES.get(node.getRole())
        if role and states.contains(pyatspi.STATE_SHOWING) and inside(node, frame):
            found.append((node, role))
    return found


def check_names(frame):
    checked = 0
    for node, role in controls(frame):
        states = node.getState()
        if not (states.contains(pyatspi.STATE_FOCUSABLE) or role in ("text box", "label")):
            continue
        checked += 1
        if not node.name:
            fail("%s: a %s without a name (text %r)" % (frame.name, role, text_of(node)))
    print("%s: %d controls named" % (frame.name, checked))
    return checked


def text_of(node):
    try:
        return node.queryText().getText(0, -1)
    except NotImplementedError:
        return None


def named(frame, name, role):
    for node, r in controls(frame):
        if node.name == name and r == role:
            return node
    return None


def act(node, action):
    actions = node.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    if action not in names:
        raise SystemExit("FAIL: %s offers %s, not %s" % (node.name, names, action))
    actions.doAction(names.index(action))


home = tempfile.mkdtemp(prefix="vqd-a11y-")
ini = os.path.join(home, "config", "VQ-DAZ-ER", "VQ-DAZ-ER.ini")
env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"), QT_QPA_PLATFORM="xcb",
           QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
proc = subprocess.Popen([program], env=env, cwd=home)
try:
    desktop = pyatspi.Registry.getDesktop(0)

    def application():
        if proc.poll() is not None:
            raise SystemExit("FAIL: the program ended with %d" % proc.returncode)
        for app in desktop:
            if app is not None and app.get_process_id() == proc.pid and app.childCount > 0:
                return app
        return None

    app = wait_for("the program on the accessibility bus", application)
    main = app.getChildAtIndex(0)
    check_names(main)

    block = named(main, "Current Block:", "text box")
    if block is None:
        fail("no display named 'Current Block:'")
    elif text_of(block) != "-- -- -- -- -- -- --":
        fail("the block count display reads %r" % text_of(block))
    else:
        print("Current Block: reads %r" % text_of(block))

    act(named(main, "Settings", "button"), "Press")
    settings = wait_for("the settings window", lambda: app.childCount > 1 and app.getChildAtIndex(1))
    wait_for("the settings window's controls", lambda: named(settings, "Cancel", "button"))
    check_names(settings)

    daemon = named(settings, "Daemon", "tick box")
    if daemon.getState().contains(pyatspi.STATE_CHECKED):
        fail("the Daemon tick box starts ticked")
    act(daemon, "Toggle")
    # The program's answer: its own handler makes "Disabled" usable.
    disabled = named(settings, "Disabled", "tick box")
    wait_for("the program to take the toggle", lambda: disabled.getState().contains(pyatspi.STATE_ENABLED))
    if not daemon.getState().contains(pyatspi.STATE_CHECKED):
        fail("the Daemon tick box does not show the program's tick")
    act(named(settings, "Save To Registry", "button"), "Press")
    stored = wait_for("the save", lambda: os.path.exists(ini) and "DASH_DAEMON_TICKBOX=1" in open(ini).read())
    print("Save To Registry stored DASH_DAEMON_TICKBOX=1")
finally:
    proc.terminate()
    proc.wait(10)
    shutil.rmtree(home, ignore_errors=True)

if failures:
    print("%d failure(s)" % len(failures))
    sys.exit(1)
print("passed")
