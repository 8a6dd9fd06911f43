#!/usr/bin/env python3
"""The panel walked on a real X display: the built controller under Xvfb,
driven by real X key events, read back over its PC link.

Every file of steps/ (in name order) gets a freshly started controller; its
functions named step_* run in the order written, each given the Panel of
panelwalk.py. A later screen adds its walk as a file of its own. The
controller runs without its fixed pauses (start-up, file writes, upgrade
steps) unless the file sets PAUSE_SCALE (e.g. "1" for the device's own).

  walk.py --app BUILD/vyxQ58N [--only FILE]
"""

import argparse
import importlib.util
import inspect
import os
import sys
import tempfile
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import panelwalk  # noqa: E402


def step_files(only):
    folder = os.path.join(HERE, "steps")
    for name in sorted(os.listdir(folder)):
        if name.endswith(".py") and (not only or only in name):
            yield os.path.join(folder, name)


def load(path):
    spec = importlib.util.spec_from_file_location(os.path.basename(path)[:-3], path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def steps_of(module):
    found = [f for n, f in vars(module).items() if n.startswith("step_") and inspect.isfunction(f)]
    return sorted(found, key=lambda f: f.__code__.co_firstlineno)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--app", required=True)
    p.add_argument("--only", default="")
    args = p.parse_args()

    display = panelwalk.Display()
    logs = tempfile.mkdtemp(prefix="vyx-walk-logs-")
    failed = 0
    try:
        for path in step_files(args.only):
            name = os.path.basename(path)
            log = os.path.join(logs, name + ".log")
            panel = None
            try:
                module = load(path)
                panel = panelwalk.Panel(args.app, display, log, getattr(module, "PAUSE_SCALE", "0"))
                for step in steps_of(module):
                    step(panel)
                    print("ok   %s: %s" % (name, step.__name__))
                panel.close()
            except Exception as e:  # a step failed: say which, go on with the next file
                failed += 1
                print("FAIL %s: %s" % (name, e))
                traceback.print_exc()
                if panel:
                    try:
                        panel.close()
                    except Exception:
                        pass
                with open(log, "rb") as f:
                    tail = f.read()[-4000:]
                sys.stdout.write(tail.decode("utf-8", "replace"))
    finally:
        display.close()
    print("walk: %s" % ("%d file(s) failed" % failed if failed else "passed"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
