# What the install tests share: the prefix and display set up, registry reads through Wine's
# reg, an export of a registry root searched for the control's traces, and the page host
# probing the registered control. Source it with FOTOLOFT_SOURCE_DIR set; it defines $work
# (removed on exit), $dll, $pagehost, failures and fail.
caller_prefix="${WINEPREFIX:-}"
source "${FOTOLOFT_SOURCE_DIR:?}/scripts/env.sh"
# The prefix ctest passes wins over the default one, as for scripts/page.
if [ -z "${FOTOLOFT_WINEPREFIX:-}" ] && [ -n "$caller_prefix" ]; then export WINEPREFIX="$caller_prefix"; fi
work=$(mktemp -d)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if [ -z "${DISPLAY:-}" ]; then
  source "$ROOT_DIR/scripts/xvfb.sh"
  start_xvfb || { echo "FAIL: could not start Xvfb"; exit 1; }
fi
trap 'rm -rf "$work"; stop_xvfb 2>/dev/null || true' EXIT

dll="$BUILD_DIR/bin/Fotoloft.dll"
pagehost="$BUILD_DIR/bin/pagehost.exe"
[ -f "$dll" ] && [ -f "$pagehost" ] || { echo "FAIL: build first ($dll, $pagehost)"; exit 1; }

clsid='{D96B2961-0EDD-4D0C-BA33-2691A151E686}'
settings_key='Software\Vantor\Fotoloft'
# What registration writes, as it shows in an export of the registry: class, interface,
# type library, application id, and the settings key.
traces='D96B2961-0EDD-4D0C-BA33-2691A151E686|D3B9D431-0637-452F-8177-3A8ECC5EF5D7|24125ECF-C675-43E0-ACC5-391DBF4BE36A|F870F90F-BFF6-4219-81B2-3466D62237C9|Vantor'

winpath() { local p="$1"; echo "Z:${p//\//\\}"; }
quiet() { "$@" >"$work/cmd.log" 2>&1 </dev/null; }

# regvalue ROOT\KEY NAME: prints the value's data (empty name: the key's default value).
regvalue() {
  local args=(/v "$2"); [ -z "$2" ] && args=(/ve)
  wine reg query "$1" "${args[@]}" >"$work/reg.out" 2>/dev/null </dev/null || return 1
  tr -d '\r' <"$work/reg.out" | sed -n 's/^ \+[^ ].*\(REG_SZ\|REG_EXPAND_SZ\|REG_DWORD\) \+//p' | head -n 1
}
unixpath() { wine winepath -u "$1" >"$work/path.out" 2>/dev/null </dev/null; tr -d '\r' <"$work/path.out" | head -n 1; }

# export_root ROOT FILE: the whole of ROOT (HKCU or HKLM) as UTF-8 text without CRs.
export_root() {
  local root=$1 out=$2
  rm -f "$work/export.reg"
  wine reg export "$root" "$(winpath "$work/export.reg")" /y >"$work/export.log" 2>&1 </dev/null
  if [ ! -s "$work/export.reg" ]; then
    local full=HKEY_CURRENT_USER; [ "$root" = HKLM ] && full=HKEY_LOCAL_MACHINE
    wine regedit /E "$(winpath "$work/export.reg")" "$full" >>"$work/export.log" 2>&1 </dev/null
  fi
  [ -s "$work/export.reg" ] || return 1
  iconv -f UTF-16 -t UTF-8 "$work/export.reg" 2>/dev/null | tr -d '\r' >"$out"
}

# expect_no_traces ROOT WHAT [EXTRA]: no key or value of the control left in ROOT; EXTRA is
# a further pattern (an uninstall entry).
expect_no_traces() {
  local root=$1 what=$2 pattern=$traces
  [ -n "${3:-}" ] && pattern="$pattern|$3"
  export_root "$root" "$work/export.txt" || { fail "$what: could not export $root"; return; }
  grep -Eai "$pattern" "$work/export.txt" >"$work/traces" &&
    fail "$what: $root still holds: $(head -n 5 "$work/traces")"
}

# The page: answered when the control loads and the page's site is allowed.
cat >"$work/probe.js" <<'JS'
var answer = "silent";
control.recvMessage = function (text) { answer = text.replace(/\n$/, ""); };
control.postMessage('{"name":"init","config":{}}');
for (var i = 0; i < 20 && answer === "silent"; i++) host.sleep(25);
host.echo(answer);
JS
# probe NAME [--url ADDRESS]: the page host creates the registered control and runs the page.
probe() {
  local name=$1; shift
  wine "$pagehost" "$(winpath "$work/probe.js")" "$@" >"$work/$name.out" 2>"$work/$name.err" </dev/null
  echo $? >"$work/$name.rc"
}
expect_probe() {
  local name=$1 want=$2
  [ "$(cat "$work/$name.rc")" = 0 ] || fail "$name: page host exit code $(cat "$work/$name.rc"): $(head -c 300 "$work/$name.err")"
  grep -qxF "$want" <(tr -d '\r' <"$work/$name.out") || fail "$name: expected $want, got $(cat "$work/$name.out")"
}
loaded='{"browser":"ie32","name":"load_complete","version":"2,8,29,51372"}'

# Start from a prefix without the development build's registration or a site list.
clean_prefix() {
  quiet wine regsvr32 /s /u "$(winpath "$dll")"
  quiet wine reg delete 'HKCU\Software\Vantor' /f
  quiet wine reg delete 'HKLM\Software\Vantor' /f
}

# Ends a packaging test as skipped (code 77) when a tool that installer/packaging.sh needs is
# missing; call it after sourcing packaging.sh.
skip_without_packaging_tools() {
  local missing
  missing=$(packaging_tools_missing)
  if [ -n "$missing" ]; then
    echo "SKIP: packaging tools missing ($missing); scripts/setup installs them"
    exit 77
  fi
}
