#!/usr/bin/env bash
# The real game in a real SDL window under Xvfb: starts the built game in a fresh copy
# of its data folder, checks the title scene in a screenshot of the window, holds Right
# through the X server until play begins, checks the play scene, presses Escape and
# expects exit status 0, the files of a first run and a clean Log.txt.
# Exit 77 (skipped) when xvfb-run, xdotool or xwd is missing.
#   run_game_under_xvfb.sh GAME CHECKER DATA_DIR
set -u
game=$1
checker=$2
data=$3
for tool in xvfb-run xdotool xwd; do
  command -v "$tool" >/dev/null 2>&1 || { echo "$tool missing: skipped"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$data"/image01.png "$data"/bakuhatu5.png "$data"/bakuhatu6.bmp "$work"/
cd "$work"
export XDG_RUNTIME_DIR=$work
unset SDL_VIDEODRIVER
# The X11 video driver's D-Bus library keeps a buffer until exit; it is not ours.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")/../xvfb" && pwd)/lsan_suppressions.txt${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# Libraries that SDL loads for the X11 driver and the sound thread (D-Bus) are unloaded
# at exit with blocks of their own, which the leak search cannot tell apart from ours.
# The headless runs look for our leaks; this run checks Log.txt's own allocation dump.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

cat > inner.sh <<INNER
#!/usr/bin/env bash
set -u
fail() { echo "\$1"; kill -9 \$pid 2>/dev/null; exit 1; }
"$game" > game.out 2>&1 &
pid=\$!
# xdotool stops with an X error when a window goes away while it walks the tree (SDL
# makes and drops helper windows at start-up): search again until the window shows.
id=
for i in \$(seq 1 120); do
  id=\$(xdotool search --onlyvisible --name '^Cinderwhirl\$' 2>/dev/null | head -n 1)
  [ -n "\$id" ] && break
  sleep 0.5
done
[ -n "\$id" ] || fail "no window titled Cinderwhirl"
xdotool windowfocus --sync "\$id" || fail "cannot focus the window"
# Start-up measures the timers before the first frame: wait for the title.
for i in \$(seq 1 50); do
  xwd -silent -id "\$id" -out title.xwd || fail "no screenshot"
  "$checker" title title.xwd 2>/dev/null && break
  sleep 0.2
done
"$checker" title title.xwd || fail "the title scene is not right"
# The ship is the menu cursor: pushed right past x 126 it starts a game (4 px a frame,
# 13 frames). Right stays down until the play scene shows, however slowly a loaded
# machine runs the frames.
xdotool keydown Right
for i in \$(seq 1 50); do
  sleep 0.2
  xwd -silent -id "\$id" -out play.xwd || fail "no screenshot"
  "$checker" play play.xwd 2>/dev/null && break
done
xdotool keyup Right
"$checker" play play.xwd || fail "the play scene is not right"
# The game reads Escape once a frame (30 ms): hold it as a person would.
xdotool keydown Escape; sleep 0.3; xdotool keyup Escape
for i in \$(seq 1 100); do kill -0 \$pid 2>/dev/null || break; sleep 0.1; done
kill -0 \$pid 2>/dev/null && fail "Escape did not end the game"
wait \$pid
status=\$?
cat game.out
exit \$status
INNER
chmod +x inner.sh
xvfb-run -a -s "-screen 0 1024x768x24" ./inner.sh
status=$?
[ "$status" -eq 0 ] || { echo "the game under Xvfb ended with status $status"; exit 1; }
[ -f data.csp ] && [ ! -s data.csp ] || { echo "the first run did not create an empty data.csp"; exit 1; }
[ -f font.txt ] && [ ! -s font.txt ] || { echo "the first run did not create an empty font.txt"; exit 1; }
grep -aq 'Alloc num:0' Log.txt || { echo "Log.txt does not end with an empty allocation dump"; exit 1; }
echo "the game ran under Xvfb: title and play scenes shown, Escape ended it with status 0"
