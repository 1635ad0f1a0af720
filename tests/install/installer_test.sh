#!/usr/bin/env bash
# The installer (installer/Fotoloft.nsi, packaging the built DLL) under Wine: silent per-user
# and per-machine installs that register the installed copy and write the site list, the page
# host creating the control from the installed copy, an upgrade over an older version in
# another folder, and silent uninstalls that leave no file and no registry key behind.
set -uo pipefail
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
command -v makensis >/dev/null || { echo "FAIL: makensis missing (run scripts/setup)"; exit 1; }

# The installer of this version and one of an older version, both packaging the built DLL.
makensis -V2 -DDLL="$dll" -DVERSION=2.8.29.51372 -DOUTFILE="$work/setup.exe" \
  "$ROOT_DIR/installer/Fotoloft.nsi" >"$work/makensis.log" 2>&1 || { cat "$work/makensis.log"; exit 1; }
makensis -V2 -DDLL="$dll" -DVERSION=2.7.0.1 -DOUTFILE="$work/old-setup.exe" \
  "$ROOT_DIR/installer/Fotoloft.nsi" >"$work/makensis-old.log" 2>&1 || { cat "$work/makensis-old.log"; exit 1; }

clsid='{D96B2961-0EDD-4D0C-BA33-2691A151E686}'
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Fotoloft'
settings_key='Software\Vantor\Fotoloft'
# What registration and the installer write, as it shows in an export of the registry.
traces='D96B2961-0EDD-4D0C-BA33-2691A151E686|D3B9D431-0637-452F-8177-3A8ECC5EF5D7|24125ECF-C675-43E0-ACC5-391DBF4BE36A|F870F90F-BFF6-4219-81B2-3466D62237C9|Vantor|Uninstall\\Fotoloft'

winpath() { local p="$1"; echo "Z:${p//\//\\}"; }
quiet() { "$@" >"$work/cmd.log" 2>&1 </dev/null; }

# regvalue ROOT\KEY NAME: prints the value's data (empty name: the key's default value).
regvalue() {
  local args=(/v "$2"); [ -z "$2" ] && args=(/ve)
  wine reg query "$1" "${args[@]}" >"$work/reg.out" 2>/dev/null </dev/null || return 1
  tr -d '\r' <"$work/reg.out" | sed -n 's/^ \+[^ ].*\(REG_SZ\|REG_EXPAND_SZ\|REG_DWORD\) \+//p' | head -n 1
}
unixpath() { wine winepath -u "$1" >"$work/path.out" 2>/dev/null </dev/null; tr -d '\r' <"$work/path.out" | head -n 1; }

# No trace of the control in ROOT (HKCU or HKLM).
expect_no_traces() {
  local root=$1 what=$2
  rm -f "$work/export.reg"
  wine reg export "$root" "$(winpath "$work/export.reg")" /y >"$work/export.log" 2>&1 </dev/null
  if [ ! -s "$work/export.reg" ]; then
    local full=HKEY_CURRENT_USER; [ "$root" = HKLM ] && full=HKEY_LOCAL_MACHINE
    wine regedit /E "$(winpath "$work/export.reg")" "$full" >>"$work/export.log" 2>&1 </dev/null
  fi
  [ -s "$work/export.reg" ] || { fail "$what: could not export $root"; return; }
  iconv -f UTF-16 -t UTF-8 "$work/export.reg" 2>/dev/null | tr -d '\r' | grep -Eai "$traces" >"$work/traces" &&
    fail "$what: $root still holds: $(head -n 5 "$work/traces")"
}

# install NAME ARGS...: runs the installer silently; exit code in NAME.rc.
install() {
  local exe=$1 name=$2; shift 2
  wine "$exe" /S "$@" >"$work/$name.out" 2>&1 </dev/null
  echo $? >"$work/$name.rc"
  [ "$(cat "$work/$name.rc")" = 0 ] || fail "$name: installer exit code $(cat "$work/$name.rc")"
}

# uninstall ROOT NAME: runs the registered quiet uninstaller and waits (bounded) until it has
# removed its folder and its uninstall entry; it runs from a copy of itself, so the first
# process ends at once.
uninstall() {
  local root=$1 name=$2 location folder
  location=$(regvalue "$root\\$uninstall_key" InstallLocation) || { fail "$name: no uninstall entry"; return; }
  folder=$(unixpath "$location")
  wine "$location\\uninstall.exe" /S >"$work/$name-uninstall.out" 2>&1 </dev/null
  for _ in $(seq 1 120); do
    if [ ! -e "$folder" ] && ! regvalue "$root\\$uninstall_key" InstallLocation >/dev/null; then return; fi
    sleep 0.5
  done
  fail "$name: after 60 s the uninstaller left $(ls -A "$folder" 2>/dev/null | tr '\n' ' ') in $folder"
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
quiet wine regsvr32 /s /u "$(winpath "$dll")"
quiet wine reg delete 'HKCU\Software\Vantor' /f
quiet wine reg delete 'HKLM\Software\Vantor' /f

# --- For the current user ---
install "$work/setup.exe" user '/SITES=site.test;*.example.com'
location=$(regvalue "HKCU\\$uninstall_key" InstallLocation)
[ -n "$location" ] || fail "user: no uninstall entry under HKCU"
[ -f "$(unixpath "$location")/Fotoloft.dll" ] || fail "user: no Fotoloft.dll in $location"
cmp -s "$dll" "$(unixpath "$location")/Fotoloft.dll" || fail "user: the installed DLL is not the packaged one"
server=$(regvalue "HKCU\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" "")
[ "${server,,}" = "${location,,}\\fotoloft.dll" ] || fail "user: the class is served by '$server', not the installed copy in $location"
[ "$(regvalue "HKCU\\Software\\Classes\\Vantor.Fotoloft.1\\CLSID" "")" = "$clsid" ] || fail "user: ProgID not registered"
regvalue "HKLM\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" "" >/dev/null && fail "user: registered for the machine too"
[ "$(regvalue "HKCU\\$settings_key" AllowedSites)" = 'site.test;*.example.com' ] || fail "user: site list not written"
regvalue "HKLM\\$settings_key" AllowedSites >/dev/null && fail "user: site list written for the machine"
[ "$(regvalue "HKCU\\$uninstall_key" DisplayVersion)" = 2.8.29.51372 ] || fail "user: version not recorded"
# Wine does not look classes up under HKCU\Software\Classes, so the page host cannot create a
# control registered for the user alone; the machine install below runs the page.
uninstall HKCU user
expect_no_traces HKCU "user uninstall"
expect_no_traces HKLM "user uninstall"

# --- For the machine: the page host creates the installed control ---
install "$work/setup.exe" machine /ALLUSERS
location=$(regvalue "HKLM\\$uninstall_key" InstallLocation)
server=$(regvalue "HKLM\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" "")
[ -n "$location" ] && [ "${server,,}" = "${location,,}\\fotoloft.dll" ] ||
  fail "machine: the class is served by '$server', not the installed copy in '$location'"
regvalue "HKCU\\$uninstall_key" InstallLocation >/dev/null && fail "machine: an uninstall entry for the user"
regvalue "HKLM\\$settings_key" AllowedSites >/dev/null && fail "machine: a site list without /SITES"
probe machine_page --url "https://any.test/"
expect_probe machine_page "$loaded"
uninstall HKLM machine
expect_no_traces HKLM "machine uninstall"
expect_no_traces HKCU "machine uninstall"

# --- An older version in another folder, then this one over it ---
install "$work/old-setup.exe" old /ALLUSERS '/SITES=old.test' '/D=C:\FotoloftOld'
old_folder=$(unixpath 'C:\FotoloftOld')
[ -f "$old_folder/Fotoloft.dll" ] || fail "old: not installed in C:\\FotoloftOld"
install "$work/setup.exe" upgrade /ALLUSERS
[ -e "$old_folder" ] && fail "upgrade: the older version's folder is still there: $(ls -A "$old_folder" | tr '\n' ' ')"
[ "$(regvalue "HKLM\\$uninstall_key" DisplayVersion)" = 2.8.29.51372 ] || fail "upgrade: version not updated"
location=$(regvalue "HKLM\\$uninstall_key" InstallLocation)
server=$(regvalue "HKLM\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" "")
[ "${server,,}" = "${location,,}\\fotoloft.dll" ] || fail "upgrade: the class is served by '$server', not '$location'"
[ "$(regvalue "HKLM\\$settings_key" AllowedSites)" = old.test ] || fail "upgrade: the site list was not kept"
probe upgraded_allowed --url "https://old.test/page.html"
expect_probe upgraded_allowed "$loaded"
probe upgraded_refused --url "https://other.test/page.html"
expect_probe upgraded_refused silent
uninstall HKLM upgrade
expect_no_traces HKLM "upgrade uninstall"

[ "$failures" -eq 0 ] && echo "installer: all checks passed"
exit $(( failures > 0 ))
