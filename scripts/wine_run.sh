#!/usr/bin/env bash
# Runs a Windows program under wine, headless, in the prefix that
# scripts/windows.sh made (WINEPREFIX), with wine's own chatter off.
export WINEDEBUG=${WINEDEBUG:--all}
exec /usr/lib/wine/wine64 "$@"
