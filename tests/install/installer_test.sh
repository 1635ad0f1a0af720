#!/usr/bin/env bash
# The installer (installer/Fotoloft.nsi, packaging the built DLL) under Wine: silent per-user
# and per-machine installs that register the installed copy and write the site list, the page
# host creating the control from the installed copy, an upgrade over an older version in
# another folder, and silent uninstalls that leave no file and no registry key behind.
set -uo pipefail
source "${FOTOLOFT_SOURCE_DIR:?}/tests/install/install_helpers.sh"

command -v makensis >/dev/null || { echo "FAIL: makensis missing (run scripts/setup)"; exit 1; }

# The installer of this version and one of an older version, both packaging the built DLL.
makensis -V2 -DDLL="$dll" -DVERSION=2.8.29.51372 -DOUTFILE="$work/setup.exe" \
  "$ROOT_DIR/installer/Fotoloft.nsi" >"$work/makensis.log" 2>&1 || { cat "$work/makensis.log"; exit 1; }
makensis -V2 -DDLL="$dll" -DVERSION=2.7.0.1 -DOUTFILE="$work/old-setup.exe" \
  "$ROOT_DIR/installer/Fotoloft.nsi" >"$work/makensis-old.log" 2>&1 || { cat "$work/makensis-old.log"; exit 1; }

uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Fotoloft'
# The installer's entry in the list of programs, as an export of the registry shows it.
entry='Uninstall\\Fotoloft'

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

clean_prefix

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
expect_no_traces HKCU "user uninstall" "$entry"
expect_no_traces HKLM "user uninstall" "$entry"

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
expect_no_traces HKLM "machine uninstall" "$entry"
expect_no_traces HKCU "machine uninstall" "$entry"

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
expect_no_traces HKLM "upgrade uninstall" "$entry"

[ "$failures" -eq 0 ] && echo "installer: all checks passed"
exit $(( failures > 0 ))
