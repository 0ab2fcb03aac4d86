#!/usr/bin/env bash
# The accessibility audit: starts the program under Xvfb on a private session bus with the
# accessibility bus and Qt's bridge on, then walks its windows over the bus (audit.py) and prints
# the counts. A measurement, not a test. Usage: a11y_audit [-v]   (-v lists each finding)
# BRISKO_EXE names the program (default: the build's app/brisko beside this script's build).
# BRISKO_AUDIT_LOG names a file for what the program prints (default: nowhere).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source_dir="@PROJECT_SOURCE_DIR@"
exe="${BRISKO_EXE:-@BRISKO_EXE@}"
if [[ "${1:-}" != "--inner" ]]; then
    py=/usr/bin/python3  # the system Python, which has the gi bindings
    for tool in xvfb-run dbus-run-session; do
        command -v "$tool" >/dev/null || { echo "a11y audit skipped: $tool is missing"; exit 0; }
    done
    [[ -x /usr/libexec/at-spi-bus-launcher ]] || { echo "a11y audit skipped: at-spi2-core is missing"; exit 0; }
    "$py" -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null ||
        { echo "a11y audit skipped: python3-gi or gir1.2-atspi-2.0 is missing"; exit 0; }
    exec xvfb-run -a -s "-screen 0 1600x1000x24" dbus-run-session -- "$0" --inner "$@"
fi
shift
home="$(mktemp -d)"
trap 'kill "$app" 2>/dev/null || true; kill "$bus" 2>/dev/null || true; rm -rf "$home"' EXIT
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
bus=$!
sleep 1
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 BRISKO_HOME="$home" BRISKO_AUDIO=null
"$exe" >"${BRISKO_AUDIT_LOG:-/dev/null}" 2>&1 &
app=$!
/usr/bin/python3 "$source_dir/bench/a11y/audit.py" "$app" "$@"
