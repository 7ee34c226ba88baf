#!/usr/bin/env bash
# Runs the window probe under Xvfb: checks the window's client size and title with
# xwininfo, closes it the way a window manager does (WM_DELETE_WINDOW, via xdotool),
# and expects the probe's loop to end. Exit 77 (skipped) without xvfb-run.
set -u
probe=$1
closer=${2:-}
command -v xvfb-run >/dev/null 2>&1 || { echo "xvfb-run missing: skipped"; exit 77; }
command -v xwininfo >/dev/null 2>&1 || { echo "xwininfo missing: skipped"; exit 77; }
[ -n "$closer" ] || { echo "X11 development files missing: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export XDG_RUNTIME_DIR=$work
unset SDL_VIDEODRIVER
# The X11 video driver's D-Bus library keeps a buffer until exit; it is not ours.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan_suppressions.txt${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# Once frames are presented, SDL unloads X11 libraries that keep blocks of their own;
# their frames are gone by exit, so they cannot be told apart from ours. The headless
# tests look for our leaks; this run only checks the window.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
cat > inner.sh <<INNER
#!/usr/bin/env bash
set -u
"$probe" > probe.out 2>&1 &
pid=\$!
# A sanitizer build on a loaded machine can take many seconds to open its window.
for i in \$(seq 1 600); do grep -q '^window ' probe.out && break; sleep 0.05; done
id=\$(sed -n 's/^window //p' probe.out)
[ -n "\$id" ] || { echo "no window"; cat probe.out; kill -9 \$pid; exit 1; }
sleep 0.3
xwininfo -id "\$id" > info.txt
cat info.txt
grep -q 'Width: 150' info.txt || { echo "width is not 150"; kill -9 \$pid; exit 1; }
grep -q 'Height: 200' info.txt || { echo "height is not 200"; kill -9 \$pid; exit 1; }
grep -q '"Cinderwhirl"' info.txt || { echo "title is not Cinderwhirl"; kill -9 \$pid; exit 1; }
"$closer" "\$id"
wait \$pid
rc=\$?
cat probe.out
exit \$rc
INNER
chmod +x inner.sh
xvfb-run -a -s "-screen 0 1024x768x24" ./inner.sh
