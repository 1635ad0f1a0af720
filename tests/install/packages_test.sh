#!/usr/bin/env bash
# The packages as scripts/release makes them, from the built DLL: the DLL's version resource
# is the control's version; the DLL, the NSIS installer, the MSI and the page's cabinet carry
# an Authenticode signature (SHA-256) that verifies against the certificate that made it, with
# a timestamp that verifies when a timestamp server is given (one of the test's own); the
# MSI and the cabinet hold the signed DLL; the cabinet holds the DLL and an INF whose class id
# is the one the DLL registers and whose version is the DLL's.
set -uo pipefail
source "${FOTOLOFT_SOURCE_DIR:?}/tests/install/install_helpers.sh"
source "$ROOT_DIR/installer/packaging.sh"

skip_without_packaging_tools
command -v makensis >/dev/null || { echo "SKIP: makensis missing; scripts/setup installs it"; exit 77; }

# Packaged without its debug sections, as the release DLL is (smaller and faster to pack).
mkdir -p "$work/built"
i686-w64-mingw32-strip -o "$work/built/Fotoloft.dll" "$dll" || { echo "FAIL: could not strip $dll"; exit 1; }
dll="$work/built/Fotoloft.dll"

# --- The version resource ---
source_version=$(sed -n 's/.*kControlVersion\[\] = "\([0-9,]*\)".*/\1/p' "$ROOT_DIR/src/control/OutgoingMessages.h" | tr , .)
version=$(control_version "$dll") || { fail "no version resource in $dll"; exit 1; }
[ "$version" = "$source_version" ] || fail "the DLL's version resource says $version, the control reports $source_version"
i686-w64-mingw32-windres -i "$dll" -J coff -O rc >"$work/resources.rc" 2>&1
grep -Eq "^ *FILEVERSION ${version//./, *}\$" "$work/resources.rc" ||
  fail "the fixed file version is not $version: $(grep FILEVERSION "$work/resources.rc")"

# --- Signed packages, as the release makes them ---
mkdir -p "$work/sign" "$work/out"
unset FOTOLOFT_SIGN_PFX FOTOLOFT_SIGN_TIMESTAMP
signing_start "$work/sign" || exit 1
out="$work/out"
cp "$dll" "$out/Fotoloft.dll"
sign_file "$out/Fotoloft.dll" || exit 1
msi="Fotoloft-$version.msi" setup="Fotoloft-$version-setup.exe"
package_msi "$out/Fotoloft.dll" "$version" "$out/$msi" 2>"$work/msi.log" || { cat "$work/msi.log"; exit 1; }
package_cab "$out/Fotoloft.dll" "$version" "$out/Fotoloft.cab" || exit 1
makensis -V2 -DDLL="$out/Fotoloft.dll" -DVERSION="$version" -DOUTFILE="$out/$setup" \
  "$ROOT_DIR/installer/Fotoloft.nsi" >"$work/makensis.log" 2>&1 || { cat "$work/makensis.log"; exit 1; }
for f in "$msi" Fotoloft.cab "$setup"; do sign_file "$out/$f" || exit 1; done

# verified FILE: a SHA-256 Authenticode signature that checks out against the run's certificate.
verified() {
  local file=$1 name; name=$(basename "$1")
  osslsigncode verify -CAfile "$work/sign/throwaway.crt" -in "$file" >"$work/verify-$name.log" 2>&1 ||
    { fail "$name: the signature does not verify: $(grep -iE 'error|fail' "$work/verify-$name.log" | head -n 3)"; return; }
  grep -q "Signer's certificate" "$work/verify-$name.log" || fail "$name: no signer in $(head -c 300 "$work/verify-$name.log")"
  grep -Eq 'digest algorithm *: *SHA256' "$work/verify-$name.log" || fail "$name: not a SHA-256 signature"
  grep -q 'CN=Fotoloft throwaway test signature' "$work/verify-$name.log" || fail "$name: not signed by this run's certificate"
}
for f in Fotoloft.dll "$msi" Fotoloft.cab "$setup"; do verified "$out/$f"; done

# An unsigned file is told apart (the check above can fail).
cp "$dll" "$work/unsigned.dll"
osslsigncode verify -CAfile "$work/sign/throwaway.crt" -in "$work/unsigned.dll" >"$work/unsigned.log" 2>&1 &&
  fail "an unsigned DLL verified"

# --- A timestamp from the server given, on every file the release signs ---
# A timestamp authority of the test's own (openssl ts behind a small HTTP server).
mkdir -p "$work/tsa"
python3 "$ROOT_DIR/tests/install/timestamp_server.py" "$work/tsa" "$work/tsa/port" >"$work/tsa.log" 2>&1 &
tsa_pid=$!
trap 'kill "$tsa_pid" 2>/dev/null; rm -rf "$work"; stop_xvfb 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do [ -s "$work/tsa/port" ] && break; kill -0 "$tsa_pid" 2>/dev/null || break; sleep 0.1; done
if [ -s "$work/tsa/port" ]; then
  mkdir -p "$work/stamped"
  for f in Fotoloft.dll "$msi" Fotoloft.cab "$setup"; do
    cp "$out/$f" "$work/stamped/$f"
    # Signed again from the signed file: osslsigncode replaces the signature.
    FOTOLOFT_SIGN_TIMESTAMP="http://127.0.0.1:$(cat "$work/tsa/port")" sign_file "$work/stamped/$f" 2>"$work/stamp.err" ||
      { fail "$f: not signed with a timestamp: $(tail -n 2 "$work/stamp.err")"; continue; }
    osslsigncode verify -CAfile "$work/sign/throwaway.crt" -TSA-CAfile "$work/tsa/tsa.crt" -in "$work/stamped/$f" \
      >"$work/stamped-$f.log" 2>&1 || fail "$f: the timestamped signature does not verify: $(grep -iE 'error|fail' "$work/stamped-$f.log" | head -n 3)"
    grep -q 'Timestamp Server Signature verification: ok' "$work/stamped-$f.log" &&
      grep -q 'Issuer: /CN=Fotoloft test timestamp authority' "$work/stamped-$f.log" ||
      fail "$f: no timestamp of the server given: $(grep -i timestamp "$work/stamped-$f.log" | head -n 3)"
  done
  [ "$(wc -l <"$work/tsa/answered" 2>/dev/null || echo 0)" = 4 ] || fail "the timestamp server answered $(cat "$work/tsa/answered" 2>/dev/null | wc -l) queries, not 4"
  # The plain release has none, and a server that cannot be reached fails the signing.
  grep -q 'Timestamp is not available' < <(osslsigncode verify -CAfile "$work/sign/throwaway.crt" -in "$out/Fotoloft.dll" 2>&1) ||
    fail "a signature made without a timestamp server claims a timestamp"
  cp "$dll" "$work/unreachable.dll"
  FOTOLOFT_SIGN_TIMESTAMP="http://127.0.0.1:9" sign_file "$work/unreachable.dll" 2>/dev/null &&
    fail "signing with an unreachable timestamp server succeeded"
else
  fail "the timestamp server did not start: $(head -c 300 "$work/tsa.log")"
fi

# --- The MSI holds the signed DLL and the version ---
mkdir -p "$work/msi"
(cd "$work/msi" && msiextract "$out/$msi" >"$work/msiextract.log" 2>&1)
extracted=$(find "$work/msi" -iname Fotoloft.dll | head -n 1)
[ -n "$extracted" ] && cmp -s "$extracted" "$out/Fotoloft.dll" || fail "$msi does not hold the signed DLL"
msiinfo export "$out/$msi" Property | tr -d '\r' | grep -xP "ProductVersion\t$version" >/dev/null || fail "$msi is not version $version"

# --- The cabinet: the DLL and an INF that names it, its class and its version ---
gcab -l "$out/Fotoloft.cab" | awk '{ print $1 }' | sort >"$work/cab.list"
[ "$(tr '\n' ' ' <"$work/cab.list")" = "Fotoloft.dll Fotoloft.inf " ] || fail "the cabinet holds: $(tr '\n' ' ' <"$work/cab.list")"
mkdir -p "$work/cab"
gcab -x -C "$work/cab" "$out/Fotoloft.cab" >/dev/null 2>&1
cmp -s "$work/cab/Fotoloft.dll" "$out/Fotoloft.dll" || fail "the cabinet does not hold the signed DLL"
inf="$work/cab/Fotoloft.inf"
# inf_value SECTION KEY: the value of KEY in [SECTION] (names without regard to case).
inf_value() {
  tr -d '\r' <"$inf" | awk -v section="[${1,,}]" -v key="${2,,}" '
    /^\[/ { inside = (tolower($0) == section); next }
    inside && index($0, "=") { k = substr($0, 1, index($0, "=") - 1); if (tolower(k) == key) { print substr($0, index($0, "=") + 1); exit } }'
}
[ "$(inf_value Add.Code Fotoloft.dll)" = Fotoloft.dll ] || fail "[Add.Code] does not name Fotoloft.dll"
[ "$(inf_value Fotoloft.dll file-win32-x86)" = thiscab ] || fail "the INF does not take the DLL from the cabinet"
[ "$(inf_value Fotoloft.dll FileVersion)" = "${version//./,}" ] || fail "the INF's version $(inf_value Fotoloft.dll FileVersion) is not the DLL's $version"
[ "$(inf_value Fotoloft.dll RegisterServer)" = yes ] || fail "the INF does not register the DLL"
inf_value Deployment InstallScope | grep -w user >/dev/null || fail "the INF does not allow an install per user"
# The class the DLL registers itself, for the machine.
clean_prefix
quiet wine regsvr32 /s "$(winpath "$work/cab/Fotoloft.dll")" || fail "regsvr32 failed: $(cat "$work/cmd.log")"
registered=$(regvalue 'HKCR\Vantor.Fotoloft.1\CLSID' "")
quiet wine regsvr32 /s /u "$(winpath "$work/cab/Fotoloft.dll")"
[ -n "$registered" ] && [ "$(inf_value Fotoloft.dll clsid)" = "$registered" ] ||
  fail "the INF's class $(inf_value Fotoloft.dll clsid) is not the one the DLL registers ($registered)"

[ "$failures" -eq 0 ] && echo "packages: all checks passed"
exit $(( failures > 0 ))
