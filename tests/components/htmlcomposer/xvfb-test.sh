#!/bin/sh
# Runs a WebEngine test on the current X display, or on a private Xvfb when there is none.
# Without either the test is skipped (exit 77), except in CI where that is a failure.
if [ -n "${DISPLAY:-}" ]; then exec "$@"; fi
if command -v xvfb-run >/dev/null 2>&1; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"
fi
echo "no X display and no xvfb-run" >&2
[ -n "${CI:-}" ] && exit 1
exit 77
