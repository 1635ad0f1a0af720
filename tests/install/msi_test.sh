#!/usr/bin/env bash
# The MSI package (installer/Fotoloft.wxs, packaging the built DLL) under Wine's msiexec: a
# silent install writes the same registration as the DLL's own DllRegisterServer, pointing at
# the installed copy, which the page host then creates; SITES= writes the site list the
# control obeys; an uninstall leaves no file and no key; a newer package over an older one,
# in the same folder or another, leaves one copy (and keeps the site list); an older package
# over a newer one is refused.
set -uo pipefail
source "${FOTOLOFT_SOURCE_DIR:?}/tests/install/install_helpers.sh"
source "$ROOT_DIR/installer/packaging.sh"

skip_without_packaging_tools

# Packaged without its debug sections, as the release DLL is (smaller and faster to pack).
mkdir -p "$work/built"
i686-w64-mingw32-strip -o "$work/built/Fotoloft.dll" "$dll" || { echo "FAIL: could not strip $dll"; exit 1; }
dll="$work/built/Fotoloft.dll"

version=2.8.29.51372
package_msi "$dll" "$version" "$work/new.msi" 2>"$work/wixl.log" || { cat "$work/wixl.log"; exit 1; }
package_msi "$dll" 2.7.0.1 "$work/old.msi" 2>"$work/wixl-old.log" || { cat "$work/wixl-old.log"; exit 1; }

program_files=$(unixpath 'C:\Program Files')
installed="$program_files/Fotoloft"
# The machine's classes as the registry holds them, with the module's folder written DIR.
classes_of() {
  local folder=$1 out=$2
  machine
  local dir=$(winpath "$folder"); [[ "$folder" == "$program_files"* ]] && dir="C:\\Program Files${folder#"$program_files"}"
  dir=${dir//\//\\}
  dir=${dir//\\/\\\\}
  PATTERN="$traces|Vantor\\.Fotoloft|AppID.Fotoloft\\.DLL" awk '
    /^\[/ { keep = ($0 ~ ENVIRON["PATTERN"]) && ($0 ~ /\\Software\\Classes\\/) }
    keep && NF' "$work/hklm.txt" |
    DIR="$dir" awk '{ dir = ENVIRON["DIR"]; while (n = index(tolower($0), tolower(dir))) $0 = substr($0, 1, n - 1) "DIR" substr($0, n + length(dir)); print }' |
    # The package names a folder as Windows Installer does, with a closing backslash.
    sed 's/"DIR\\\\"$/"DIR"/' >"$out"
}

# msi NAME ARGS...: runs msiexec; exit code in NAME.rc.
msi() {
  local name=$1; shift
  wine msiexec "$@" >"$work/$name.out" 2>&1 </dev/null
  echo $? >"$work/$name.rc"
}
expect_rc() { [ "$(cat "$work/$1.rc")" = "$2" ] || fail "$1: msiexec exit code $(cat "$work/$1.rc"), not $2"; }
# Each export of HKLM is one slow Wine process: the checks of a step read one export.
machine() { export_root HKLM "$work/hklm.txt" || fail "could not export HKLM"; }
# Products installed under this package's name, as the system's list of programs shows them.
products() {
  awk '/^\[/ { key = $0 } /^"DisplayName"="Fotoloft"$/ && key ~ /\\Uninstall\\/ { print key }' "$work/hklm.txt"
}
# value KEY NAME: a text value of HKLM\KEY in the export (NAME empty: the default value).
value() {
  KEY="[HKEY_LOCAL_MACHINE\\$1]" NAME="$2" awk '
    /^\[/ { inside = (tolower($0) == tolower(ENVIRON["KEY"])); next }
    inside {
      want = ENVIRON["NAME"] == "" ? "@=" : "\"" ENVIRON["NAME"] "\"="
      if (index($0, want) == 1) { v = substr($0, length(want) + 1); gsub(/^"|"$/, "", v); gsub(/\\\\/, "\\", v); print v; exit }
    }' "$work/hklm.txt"
}
# uninstalled WHAT [HKCU]: no file, no key, no entry in the list of programs left.
uninstalled() {
  local what=$1
  [ -e "$installed" ] && fail "$what: $installed is still there: $(ls -A "$installed" | tr '\n' ' ')"
  machine
  grep -Eai "$traces|\"Fotoloft\"" "$work/hklm.txt" >"$work/traces" && fail "$what: HKLM still holds: $(head -n 5 "$work/traces")"
  [ -z "$(products)" ] || fail "$what: still listed: $(products)"
  [ -z "${2:-}" ] || expect_no_traces HKCU "$what" '"Fotoloft"'
}

clean_prefix

# The DLL's own registration, for the machine, of a copy in a folder of its own.
mkdir -p "$work/self"
cp "$dll" "$work/self/Fotoloft.dll"
quiet wine regsvr32 /s "$(winpath "$work/self/Fotoloft.dll")" || fail "regsvr32 failed: $(cat "$work/cmd.log")"
classes_of "$work/self" "$work/self.reg"
quiet wine regsvr32 /s /u "$(winpath "$work/self/Fotoloft.dll")"
grep -q 'InprocServer32' "$work/self.reg" || fail "the DLL's own registration shows no class: $(head -c 300 "$work/self.reg")"

# --- Silent, without SITES ---
msi plain /i "$(winpath "$work/new.msi")" /qn
expect_rc plain 0
cmp -s "$dll" "$installed/Fotoloft.dll" || fail "plain: $installed/Fotoloft.dll is not the packaged DLL"
classes_of "$installed" "$work/msi.reg"
diff "$work/self.reg" "$work/msi.reg" >"$work/classes.diff" ||
  fail "plain: the package's registration differs from the DLL's own: $(head -n 20 "$work/classes.diff")"
[ -z "$(value "$settings_key" AllowedSites)" ] || fail "plain: a site list without SITES"
listed=$(products)
[ "$(wc -l <<<"$listed")" = 1 ] || fail "plain: listed $(wc -l <<<"$listed") times among the programs: $listed"
probe plain_page --url "https://any.test/"
expect_probe plain_page "$loaded"
msi plain_remove /x "$(winpath "$work/new.msi")" /qn
expect_rc plain_remove 0
uninstalled "plain uninstall"

# --- Silent, with SITES ---
msi sites /i "$(winpath "$work/new.msi")" /qn 'SITES=site.test;*.example.com'
expect_rc sites 0
[ "$(regvalue "HKLM\\$settings_key" AllowedSites)" = 'site.test;*.example.com' ] || fail "sites: site list not written"
probe sites_allowed --url "https://cdn.example.com/page.html"
expect_probe sites_allowed "$loaded"
probe sites_refused --url "https://other.test/page.html"
expect_probe sites_refused silent
msi sites_remove /x "$(winpath "$work/new.msi")" /qn
expect_rc sites_remove 0
uninstalled "sites uninstall"

# --- The older version in the same folder, then this one over it ---
msi old_here /i "$(winpath "$work/old.msi")" /qn
expect_rc old_here 0
msi upgrade_here /i "$(winpath "$work/new.msi")" /qn
expect_rc upgrade_here 0
machine
listed=$(products)
[ "$(wc -l <<<"$listed")" = 1 ] || fail "upgrade in place: listed $(wc -l <<<"$listed") times: $listed"
key=$(head -n 1 <<<"$listed" | tr -d '[]')
[ "$(value "${key#HKEY_LOCAL_MACHINE\\}" DisplayVersion)" = "$version" ] || fail "upgrade in place: the listed version is not $version"
cmp -s "$dll" "$installed/Fotoloft.dll" || fail "upgrade in place: $installed/Fotoloft.dll is missing or not the packaged DLL"
msi upgrade_here_remove /x "$(winpath "$work/new.msi")" /qn
expect_rc upgrade_here_remove 0
uninstalled "upgrade in place uninstall"

# --- The older version in another folder, then this one over it, then the older again ---
old_folder=$(unixpath 'C:\FotoloftOld')
msi old /i "$(winpath "$work/old.msi")" /qn SITES=old.test 'INSTALLDIR=C:\FotoloftOld\'
expect_rc old 0
[ -f "$old_folder/Fotoloft.dll" ] || fail "old: not installed in C:\\FotoloftOld"
msi upgrade /i "$(winpath "$work/new.msi")" /qn
expect_rc upgrade 0
[ -e "$old_folder" ] && fail "upgrade: the older version's folder is still there: $(ls -A "$old_folder" | tr '\n' ' ')"
[ -f "$installed/Fotoloft.dll" ] || fail "upgrade: not installed in $installed"
machine
listed=$(products)
[ "$(wc -l <<<"$listed")" = 1 ] || fail "upgrade: listed $(wc -l <<<"$listed") times: $listed"
key=$(head -n 1 <<<"$listed" | tr -d '[]')
key=${key#HKEY_LOCAL_MACHINE\\}
[ "$(value "$key" DisplayVersion)" = "$version" ] || fail "upgrade: the listed version is $(value "$key" DisplayVersion)"
server=$(value "Software\\Classes\\CLSID\\$clsid\\InprocServer32" "")
[ "${server,,}" = 'c:\program files\fotoloft\fotoloft.dll' ] || fail "upgrade: the class is served by '$server'"
[ "$(value "$settings_key" AllowedSites)" = old.test ] || fail "upgrade: the site list was not kept"
probe upgraded_allowed --url "https://old.test/page.html"
expect_probe upgraded_allowed "$loaded"
msi downgrade /i "$(winpath "$work/old.msi")" /qn
[ "$(cat "$work/downgrade.rc")" = 0 ] && fail "downgrade: the older package installed over the newer one"
[ "$(regvalue "HKLM\\$key" DisplayVersion)" = "$version" ] || fail "downgrade: the newer version is gone"
[ -f "$installed/Fotoloft.dll" ] || fail "downgrade: the newer copy is gone"
msi upgrade_remove /x "$(winpath "$work/new.msi")" /qn
expect_rc upgrade_remove 0
uninstalled "upgrade uninstall" HKCU

[ "$failures" -eq 0 ] && echo "msi: all checks passed"
exit $(( failures > 0 ))
