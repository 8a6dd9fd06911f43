#!/usr/bin/env python3
"""Every screenshot scene in the five languages, checked for texts that do
not fit their widgets, without writing pictures: the screenshot program run
with --check-only on a virtual X display of the panel's size. The display
sizes the fonts as the screenshots show them (the offscreen platform
assumes another resolution, and its texts come out wider).

  check_texts.py PROGRAM [--only SCREEN]
"""

import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "xvfb"))
import panelwalk  # noqa: E402  (its Display starts the Xvfb the walk uses)


def main():
    if len(sys.argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    display = panelwalk.Display()
    try:
        # The screens' debug lines would bury the list of texts.
        env = dict(os.environ, DISPLAY=display.name, QT_QPA_PLATFORM="xcb", QT_LOGGING_RULES="default.debug=false")
        return subprocess.call([sys.argv[1], "--check-only"] + sys.argv[2:], env=env)
    finally:
        display.close()


if __name__ == "__main__":
    sys.exit(main())
