#!/usr/bin/python3
# Lists the controls of a running program as a screen reader finds them through AT-SPI: every
# accessible object that can take focus and is showing, one line each, "ROLE<TAB>NAME".
# Usage: atspi-controls.py PID. Waits up to 10 s for the program to join the accessibility bus;
# exits 2 when it does not.
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

MAX_OBJECTS = 2000


def find_application(pid):
    desktop = Atspi.get_desktop(0)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        for i in range(desktop.get_child_count()):
            application = desktop.get_child_at_index(i)
            if application is not None and application.get_process_id() == pid:
                return application
        time.sleep(0.1)
    return None


def focusable_controls(root):
    pending, seen = [root], 0
    while pending and seen < MAX_OBJECTS:
        node = pending.pop()
        seen += 1
        states = node.get_state_set()
        if states.contains(Atspi.StateType.FOCUSABLE) and states.contains(Atspi.StateType.SHOWING):
            yield node.get_role_name(), node.get_name() or ""
        for i in range(node.get_child_count()):
            child = node.get_child_at_index(i)
            if child is not None:
                pending.append(child)


def main():
    application = find_application(int(sys.argv[1]))
    if application is None:
        print("the program is not on the accessibility bus", file=sys.stderr)
        return 2
    for role, name in focusable_controls(application):
        print(f"{role}\t{name}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
