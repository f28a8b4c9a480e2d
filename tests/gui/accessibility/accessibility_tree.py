"""The graphical window's accessibility tree, read over the AT-SPI bus.

Starts its own Xvfb and AT-SPI bus inside the session bus that run.sh made,
shows the window (rootix_window_shots --show), and checks what a screen
reader finds: the six menu captions as push buttons, Tab reaching each of
them, and the named icons of the score rows. Exit 77: skipped, with the
reason; 1: a check failed.
"""
import os
import subprocess
import sys
import time

MENU = ["Run 32M", "Run 1024M", "Hardware Info", "View Scores", "Set Thread Count", "Exit"]
ICONS = ["Upload score", "Save score", "Delete score"]


def skip(why):
    print("SKIP: " + why)
    sys.exit(77)


failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def wait_for(what, probe, seconds=15):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = probe()
        if found:
            return found
        time.sleep(0.2)
    return None


def start_xvfb():
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["/usr/bin/Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    if not number:
        xvfb.kill()
        skip("Xvfb did not start")
    return xvfb, ":" + number


def main():
    window_binary = sys.argv[1]
    xvfb, display = start_xvfb()
    os.environ["DISPLAY"] = display
    children = [xvfb]
    try:
        bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        children.append(bus)
        try:
            import gi
            gi.require_version("Atspi", "2.0")
            import pyatspi
        except (ImportError, ValueError) as e:
            skip("pyatspi is not installed (python3-pyatspi): %s" % e)

        env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_ACCESSIBILITY="1", LC_ALL="C.UTF-8")
        app = subprocess.Popen([window_binary, "--show"], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        children.append(app)
        name = os.path.basename(window_binary)

        def find_app():
            try:
                desktop = pyatspi.Registry.getDesktop(0)
                for a in desktop:
                    if a is not None and a.name == name and a.childCount > 0:
                        return a
            except Exception:  # the bus is still coming up
                return None
            return None

        application = wait_for("the window on the bus", find_app)
        if application is None:
            if app.poll() is not None:
                print(app.stderr.read().decode(errors="replace"))
            skip("the window never appeared on the AT-SPI bus (no accessibility bus here)")

        def objects(role=None):
            found = []

            def walk(node, depth):
                if node is None or depth > 40:
                    return
                try:
                    if role is None or node.getRole() == role:
                        found.append(node)
                    for child in node:
                        walk(child, depth + 1)
                except Exception:  # a node that went away meanwhile
                    return
            walk(application, 0)
            return found

        def showing_buttons():
            out = {}
            for b in objects(pyatspi.ROLE_PUSH_BUTTON):
                states = b.getState()
                if states.contains(pyatspi.STATE_SHOWING) and states.contains(pyatspi.STATE_SENSITIVE):
                    out.setdefault(b.name, []).append(b)
            return out

        buttons = wait_for("the menu's buttons", lambda: (lambda b: b if all(m in b for m in MENU) else None)(showing_buttons()))
        buttons = buttons or showing_buttons()
        for caption in MENU:
            check(caption in buttons, "a push button named %r" % caption)
        if buttons and "Run 32M" in buttons:
            actions = buttons["Run 32M"][0].queryAction()
            names = [actions.getName(i) for i in range(actions.nActions)]
            check("Press" in names or "press" in names, "\"Run 32M\" can be pressed (actions %s)" % names)

        def focused():
            for o in objects():
                try:
                    if o.getState().contains(pyatspi.STATE_FOCUSED):
                        return o.name
                except Exception:
                    pass
            return None

        def key(keysym):
            pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)
            time.sleep(0.3)

        reached = []
        for _ in range(10):
            before = focused()
            key(0xff09)  # Tab
            # A busy machine takes a moment to move the focus and say so.
            reached.append(wait_for("the focus to move", lambda: (lambda f: f if f != before else None)(focused()), 3)
                           or focused())
        print("Tab reached: %s" % reached)
        for caption in MENU:
            check(caption in reached, "Tab reaches %r" % caption)

        key(ord("s"))  # the scores page
        icons = wait_for("the row icons", lambda: (lambda b: b if all(i in b for i in ICONS) else None)(showing_buttons()), 5)
        icons = icons or showing_buttons()
        for name in ICONS:
            check(len(icons.get(name, [])) == 2, "two push buttons named %r (one per row)" % name)
        descriptions = sorted(b.description for b in icons.get("Save score", []))
        check(any(d.startswith("32M - 11.482 sec") for d in descriptions) and
              any(d.startswith("1024M - 352.906 sec") for d in descriptions),
              "each row icon's description is its row's summary (%s)" % descriptions)
    finally:
        for child in reversed(children):
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(5)
                except subprocess.TimeoutExpired:
                    child.kill()
    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    print("every check passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
