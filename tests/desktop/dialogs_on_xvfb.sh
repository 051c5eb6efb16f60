#!/usr/bin/env bash
# The setup dialog and the login prompt on a real X server (Xvfb), driven from
# the keyboard as a person would (xdotool: mnemonics, typing, Enter, Escape),
# through unixODBC's SQLConfigDataSourceW and SQLDriverConnectW.
#   dialogs_on_xvfb.sh BUILD_DIR [SCREENSHOT_DIR]
# With SCREENSHOT_DIR, pictures of both dialogs, collapsed and expanded, are
# saved there (needs ImageMagick's import).
set -euo pipefail
build=$(cd "$1" && pwd)
shots=${2:-}
client=$build/bin/desktop_client
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
step() { echo "== $*"; }

# A private unixODBC configuration: the driver, its setup library, no data source.
cat > "$work/odbcinst.ini" <<INI
[Kestrion]
Description = Kestrion ODBC driver
Driver = $build/lib/libkestrionodbc.so
Setup = $build/lib/libkestrionodbc.so
INI
: > "$work/odbc.ini"
export ODBCSYSINI=$work ODBCINSTINI=odbcinst.ini ODBCINI=$work/odbc.ini HOME=$work
unset WAYLAND_DISPLAY

# The X server, on the first free display number.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(cat "$work/display")

# The development server with the sample data and one user.
"$build/bin/kestrion-server" --sample --listen 127.0.0.1:0 --port-file "$work/port" \
  --user demo:secret 2>"$work/server.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || fail "the server did not start: $(cat "$work/server.log")"
port=$(cat "$work/port")

# The window of that title, focused.
window() {
  local id
  id=$(timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -1) ||
    fail "no window '$1'"
  xdotool windowfocus --sync "$id"
  sleep 0.3
  echo "$id"
}
keys() { xdotool key --clearmodifiers --delay 40 "$@"; sleep 0.1; }
typed() { xdotool type --delay 15 "$1"; sleep 0.1; }
shot() {
  [ -n "$shots" ] || return 0
  sleep 0.4
  import -window "$1" "$shots/$2.png"
}
# Waits for the client started in the background; its output in $work/$1.out.
finish() {
  local rc=0
  wait "$2" || rc=$?
  echo "   client exit $rc: $(tr '\n' '|' < "$work/$1.out")"
  return $rc
}

step "add a data source in the configuration dialog"
"$client" config add Kestrion "DSN=Sales" > "$work/add.out" 2>&1 &
client_pid=$!
w=$(window "Kestrion DSN Configuration")
keys alt+d; typed "Sales through the dialog"
keys alt+a; typed "127.0.0.1"
keys alt+p; typed "$port"
keys alt+e; typed "demo"
keys alt+w; typed "secret"
shot "$w" setup-dialog-collapsed
keys alt+v; sleep 0.5
keys alt+q; typed "60"
keys alt+s   # Use SSL on ...
keys alt+s   # ... and off again
keys alt+m   # System encoding
shot "$w" setup-dialog-expanded
keys Return
finish add "$client_pid" || fail "ConfigDSNW did not answer TRUE"
grep -q "^TRUE" "$work/add.out" || fail "ConfigDSNW answer: $(cat "$work/add.out")"
for line in "[Sales]" "Driver=Kestrion" "Description=Sales through the dialog" "Server=127.0.0.1" \
            "Port=$port" "UID=demo" "PWD=secret" "SSL=false" "QueryTimeout=60" \
            "CharsEncoding=System"; do
  grep -qxF "$line" "$work/odbc.ini" || fail "odbc.ini lacks '$line':$(echo; cat "$work/odbc.ini")"
done
"$client" connect "DSN=Sales" > "$work/connect.out" 2>&1 || fail "connect: $(cat "$work/connect.out")"
grep -q "^customers [1-9]" "$work/connect.out" || fail "query: $(cat "$work/connect.out")"

step "a missing server is reported and keeps the dialog open; Escape then writes nothing"
cp "$work/odbc.ini" "$work/before.ini"
"$client" config add Kestrion "DSN=Other" > "$work/cancel.out" 2>&1 &
client_pid=$!
w=$(window "Kestrion DSN Configuration")
keys alt+a; keys BackSpace
keys Return
box=$(window "Missing parameter.")
keys Return
w=$(window "Kestrion DSN Configuration")
keys Escape
finish cancel "$client_pid" && fail "ConfigDSNW answered TRUE after Escape"
grep -q "^FALSE" "$work/cancel.out" || fail "cancel: $(cat "$work/cancel.out")"
cmp -s "$work/before.ini" "$work/odbc.ini" || fail "Escape changed odbc.ini"

step "the login prompt connects with what was typed"
"$client" prompt "DSN=Sales;UID=someone;PWD=wrong" > "$work/prompt.out" 2>&1 &
client_pid=$!
w=$(window "Kestrion ODBC Login")
keys alt+e; typed "demo"
keys alt+w; typed "secret"
shot "$w" login-prompt-collapsed
keys alt+v; sleep 0.5
shot "$w" login-prompt-expanded
keys Return
finish prompt "$client_pid" || fail "the prompted connect failed"
grep -q "^customers [1-9]" "$work/prompt.out" || fail "prompt: $(cat "$work/prompt.out")"

step "Escape in the login prompt cancels the connect"
"$client" prompt "DSN=Sales" > "$work/prompt-cancel.out" 2>&1 &
client_pid=$!
w=$(window "Kestrion ODBC Login")
keys Escape
finish prompt-cancel "$client_pid" && fail "a cancelled prompt connected"
grep -q "^connect 100" "$work/prompt-cancel.out" || fail "cancel: $(cat "$work/prompt-cancel.out")"
grep -q "User cancelled the connect dialog." "$work/prompt-cancel.out" ||
  fail "cancel: $(cat "$work/prompt-cancel.out")"

step "without a display, a prompt fails at once with IM008 and ConfigDSNW answers FALSE"
(unset DISPLAY; "$client" prompt "DSN=Sales") > "$work/nodisplay.out" 2>&1 && fail "prompted without a display"
grep -q "IM008" "$work/nodisplay.out" || fail "no display: $(cat "$work/nodisplay.out")"
(unset DISPLAY; "$client" config add Kestrion "DSN=Headless") > "$work/nodisplay2.out" 2>&1 &&
  fail "ConfigDSNW answered TRUE without a display"
grep -q "kestrion-odbc-dsn" "$work/nodisplay2.out" || fail "no display: $(cat "$work/nodisplay2.out")"

echo "1 passed, 0 failed"
