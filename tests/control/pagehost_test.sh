#!/usr/bin/env bash
# The page host itself: UTF-8 output, script errors with their line (also inside a function
# the control calls), quit codes, the time-out, --size and the screenshot of the panel's
# background.
set -uo pipefail
page="${FOTOLOFT_SOURCE_DIR:?}/scripts/page"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

run() {  # run NAME ARGS...: runs $work/NAME.js, leaves NAME.out, NAME.err, NAME.rc
  local name=$1; shift
  "$page" "$work/$name.js" "$@" >"$work/$name.out" 2>"$work/$name.err"
  echo $? >"$work/$name.rc"
}

# Output is UTF-8, one line per echo.
cat >"$work/echo.js" <<'JS'
host.echo("上传 ✓");
host.echo(42);
JS
run echo
printf '上传 ✓\n42\n' | cmp -s - "$work/echo.out" || fail "echo output: $(od -c "$work/echo.out" | head -3)"
[ "$(cat "$work/echo.rc")" = 0 ] || fail "echo exit code $(cat "$work/echo.rc")"

# A script error prints its line and message and exits 99.
printf 'host.echo("before");\nvar x = 1;\nnoSuchFunction();\nhost.echo("after");\n' >"$work/error.js"
run error
[ "$(cat "$work/error.rc")" = 99 ] || fail "script error exit code $(cat "$work/error.rc")"
grep -q "line 3" "$work/error.err" || fail "script error line: $(cat "$work/error.err")"
grep -q "after" "$work/error.out" && fail "the script went on after its error"

# An error thrown by the page's own recvMessage is the page's: reported with its line, while
# postMessage itself returns normally.
cat >"$work/receiver_error.js" <<'JS'
control.recvMessage = function (text) {
    throw new Error("page failure");
};
control.postMessage('{"name":"init","config":{}}');
host.echo("postMessage returned");
JS
run receiver_error
[ "$(cat "$work/receiver_error.rc")" = 99 ] || fail "receiver error exit code $(cat "$work/receiver_error.rc")"
grep -q "postMessage returned" "$work/receiver_error.out" || fail "postMessage did not return normally"
grep -q "line 2: page failure" "$work/receiver_error.err" || fail "receiver error report: $(cat "$work/receiver_error.err")"

# quit(code) ends the script at once with that code, also from inside a callback.
printf 'control.recvMessage = function () { host.quit(7); };\ncontrol.FireRecvMessage("x");\nhost.echo("not reached");\n' \
  >"$work/quit.js"
run quit
[ "$(cat "$work/quit.rc")" = 7 ] || fail "quit exit code $(cat "$work/quit.rc")"
grep -q "not reached" "$work/quit.out" && fail "the script went on after quit"

# Past the time-out: 124, promptly.
printf 'while (true) host.sleep(50);\n' >"$work/forever.js"
start=$(date +%s)
run forever --timeout 2
elapsed=$(( $(date +%s) - start ))
[ "$(cat "$work/forever.rc")" = 124 ] || fail "time-out exit code $(cat "$work/forever.rc")"
[ "$elapsed" -lt 30 ] || fail "the time-out took ${elapsed} s"

# The control at the given size paints the panel's background boxes.
cat >"$work/shot.js" <<JS
host.sleep(100);
host.screenshot("$work/shot.png");
JS
run shot --size 400x300
[ "$(cat "$work/shot.rc")" = 0 ] || fail "screenshot run: $(cat "$work/shot.err")"
pixel() { /usr/bin/convert "$work/shot.png" -format "%[pixel:p{$1,$2}]" info: 2>/dev/null; }
[ "$(identify -format '%wx%h' "$work/shot.png" 2>/dev/null)" = 400x300 ] || fail "screenshot size"
check_pixel() {
  local got; got=$(pixel "$1" "$2")
  [ "$got" = "$3" ] || fail "pixel ($1,$2) is $got, expected $3"
}
check_pixel 0 0 "srgb(166,197,225)"      # the panel's border
check_pixel 399 299 "srgb(166,197,225)"
check_pixel 200 29 "srgb(230,242,253)"   # the button strip, under its controls
check_pixel 200 31 "srgb(166,197,225)"   # the strips' shared border
check_pixel 200 45 "srgb(240,246,254)"   # the hint strip
check_pixel 200 57 "srgb(243,243,243)"   # the list area
check_pixel 1 200 "srgb(243,243,243)"
check_pixel 398 298 "srgb(243,243,243)"

# What a page does to embedded controls: a second control answers on its own, in-place
# deactivation takes the window away and activation brings one back, a removed control is
# gone from the page, a function given to later() runs from the message loop, and the
# process counts are there.
cat >"$work/lifecycle.js" <<'JS'
var second = host.addControl();
var answers = [];
second.recvMessage = function (text) { answers.push(text); };
second.postMessage('{"name":"init","config":{}}');
host.echo("second answered " + (answers.length === 1 && answers[0].indexOf("load_complete") >= 0));
host.deactivate(second);
var shotWhileHidden = true;
try { host.screenshot("hidden.png", second); } catch (e) { shotWhileHidden = false; }
host.echo("hidden has a window " + shotWhileHidden);
host.activate(second);
host.echo("shown again " + (function () { try { host.screenshot("Z:\\tmp\\pagehost-shown.png", second); return true; } catch (e) { return false; } })());
host.removeControl(second);
var removedAgain = true;
try { host.removeControl(second); } catch (e) { removedAgain = false; }
host.echo("removed twice " + removedAgain);
var fired = 0;
host.later(50, function () { fired++; });
host.sleep(400);
host.echo("later fired " + fired);
host.echo("modal " + host.modalRunning());
host.echo("counts " + (host.handleCount() > 0) + " " + (host.threadCount() > 0) + " " + (host.memoryBytes() > 1000000));
JS
run lifecycle
[ "$(cat "$work/lifecycle.rc")" = 0 ] || fail "lifecycle run: $(cat "$work/lifecycle.err")"
for line in "second answered true" "hidden has a window false" "shown again true" "removed twice false" \
    "later fired 1" "modal false" "counts true true true"; do
  grep -qx "$line" "$work/lifecycle.out" || fail "lifecycle: no line '$line' in: $(cat "$work/lifecycle.out")"
done

# --detached: the control exists before any container; attach sites and shows it.
cat >"$work/detached.js" <<'JS'
var hadWindow = true;
try { host.click(10, 10); } catch (e) { hadWindow = false; }
host.echo("window before attach " + hadWindow);
host.attach();
host.screenshot("Z:\\tmp\\pagehost-attached.png");
host.echo("attached");
JS
run detached --detached
[ "$(cat "$work/detached.rc")" = 0 ] || fail "detached run: $(cat "$work/detached.err")"
grep -qx "window before attach false" "$work/detached.out" || fail "detached: $(cat "$work/detached.out")"
grep -qx "attached" "$work/detached.out" || fail "detached: attach did not give a window"

# Bad arguments are refused with a usage text.
run echo --size nonsense
[ "$(cat "$work/echo.rc")" = 2 ] || fail "bad --size accepted"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "page host: all checks passed"
