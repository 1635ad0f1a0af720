# Packaging of the built control, shared by scripts/release and the packaging tests. Source
# it (after scripts/env.sh); it defines functions only. Each returns non-zero with a message
# on stderr when it fails.
#
#   packaging_tools_missing            prints the packaging tools that are not installed
#   control_version DLL                the version resource of the DLL, as 2.8.29.51372
#   package_msi DLL VERSION OUT        the MSI of installer/Fotoloft.wxs (per machine)
#   package_cab DLL VERSION OUT        the cabinet a page's codebase names: the DLL and its INF
#   signing_start WORKDIR              picks the certificate: the site's own from
#                                      FOTOLOFT_SIGN_PFX (password FOTOLOFT_SIGN_PASS), or a
#                                      throwaway one made now in WORKDIR; sets SIGNING_WITH
#   sign_file FILE                     signs FILE in place with Authenticode (SHA-256), with an
#                                      RFC 3161 timestamp from FOTOLOFT_SIGN_TIMESTAMP if set
#
# The Windows Installer tables are written by wixl, then adjusted with msibuild where wixl
# cannot express them (see package_msi).

FOTOLOFT_CLSID='{D96B2961-0EDD-4D0C-BA33-2691A151E686}'
PACKAGING_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

packaging_tools_missing() {
  local tool missing=()
  for tool in wixl msibuild msiinfo gcab osslsigncode openssl i686-w64-mingw32-windres; do
    command -v "$tool" >/dev/null || missing+=("$tool")
  done
  echo "${missing[*]}"
}

control_version() {
  local dll=$1 rc
  rc=$(i686-w64-mingw32-windres -i "$dll" -J coff -O rc 2>/dev/null) || { echo "no resources in $dll" >&2; return 1; }
  local version
  version=$(sed -n 's/^ *VALUE "FileVersion", "\([0-9.]*\)".*/\1/p' <<<"$rc")
  [ -n "$version" ] && echo "${version%%$'\n'*}" ||
    { echo "no version resource in $dll" >&2; return 1; }
}

package_msi() {
  local dll=$1 version=$2 out=$3 classes='Software\Classes\CLSID\'"$FOTOLOFT_CLSID"
  case $out in /*) ;; *) out="$PWD/$out" ;; esac
  # The control's component gets a GUID of its own in every version: an older version may sit
  # in another folder (INSTALLDIR), and one component shared by two key paths would keep the
  # older file alive as still in use when the upgrade removes the older product.
  local component_guid
  component_guid=$(python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID("A4E0C1D7-58B2-4F36-8E1A-7C9D2B5F0E43"), sys.argv[1])).upper())' "$version")
  # wixl finds a source file only by a path relative to the folder it runs in.
  (cd "$(dirname "$dll")" && wixl -a x86 -D Version="$version" -D Dll="$(basename "$dll")" \
    -D ControlGuid="$component_guid" -o "$out" \
    "$PACKAGING_DIR/Fotoloft.wxs") >&2 ||
    { echo "wixl failed on $PACKAGING_DIR/Fotoloft.wxs" >&2; return 1; }
  # What wixl 0.101 cannot say:
  # - the site list's component is installed only when SITES is given, and removed with the
  #   package (a component whose condition is false is left alone by a removal);
  # - the class's "Programmable" and "Control" keys hold no value ('*': the key itself,
  #   created on install and deleted on uninstall);
  # - the vendor key Software\Vantor above the site list goes with it on uninstall ('-':
  #   Windows Installer removes the value it wrote, not the parents it created);
  # - the older version is removed before this one is installed (right after
  #   InstallValidate), so that a copy in another folder cannot stay behind;
  # - a package of the same version replaces an installed one too: Windows Installer
  #   compares three parts of the version, so 2.8.29.2 would otherwise stay beside 2.8.29.1
  #   (the upgrade row's maximum becomes inclusive, 512);
  # - the property-setting actions are plain immediate ones, right after AppSearch (wixl
  #   puts a custom action after InstallFinalize whatever its After says);
  # - SITES and INSTALLDIR reach the elevated part of an install started with a UI.
  local query upgrade_code
  upgrade_code=$(msiinfo export "$out" Property | tr -d '\r' | sed -n 's/^UpgradeCode\t//p')
  for query in \
    "UPDATE Component SET Condition = 'SITES OR REMOVE~=\"ALL\"' WHERE Component = 'SiteList'" \
    "INSERT INTO Registry (Registry, Root, \`Key\`, Name, Component_) VALUES ('ClassProgrammable', 2, '$classes\\Programmable', '*', 'Control')" \
    "INSERT INTO Registry (Registry, Root, \`Key\`, Name, Component_) VALUES ('ClassControl', 2, '$classes\\Control', '*', 'Control')" \
    "INSERT INTO Registry (Registry, Root, \`Key\`, Name, Component_) VALUES ('SiteListVendor', 2, 'Software\\Vantor', '-', 'SiteList')" \
    "UPDATE InstallExecuteSequence SET Sequence = 1410 WHERE Action = 'RemoveExistingProducts'" \
    "UPDATE InstallExecuteSequence SET Sequence = 51 WHERE Action = 'KeepPreviousSites'" \
    "UPDATE InstallExecuteSequence SET Sequence = 52 WHERE Action = 'RemoveFromInstalledFolder'" \
    "DELETE FROM \`Upgrade\` WHERE ActionProperty = 'WIX_UPGRADE_DETECTED'" \
    "INSERT INTO \`Upgrade\` (UpgradeCode, VersionMax, Attributes, ActionProperty) VALUES ('$upgrade_code', '$version', 513, 'WIX_UPGRADE_DETECTED')" \
    "UPDATE CustomAction SET Type = 51 WHERE Action = 'KeepPreviousSites' OR Action = 'RemoveFromInstalledFolder'" \
    "UPDATE Property SET Value = 'SITES;INSTALLDIR;WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED' WHERE Property = 'SecureCustomProperties'"
  do
    msibuild "$out" -q "$query" >&2 || { echo "msibuild could not run on $out: $query" >&2; return 1; }
  done
  # A query that matched nothing says nothing: check that each change is there (read whole,
  # so that grep stopping early cannot fail the export under pipefail).
  local tables
  tables=$(for t in Component Registry InstallExecuteSequence Upgrade; do msiinfo export "$out" "$t"; done)
  grep -qP '^SiteList\t.*\tSITES OR REMOVE~="ALL"\t' <<<"$tables" && grep -qP '^ClassControl\t' <<<"$tables" && grep -qP '^SiteListVendor\t' <<<"$tables" &&
    grep -qP '^RemoveExistingProducts\t\t1410' <<<"$tables" && grep -qP '^KeepPreviousSites\t.*\t51\r?$' <<<"$tables" &&
    grep -qP '^RemoveFromInstalledFolder\t.*\t52\r?$' <<<"$tables" && grep -qP '\t513\t\tWIX_UPGRADE_DETECTED' <<<"$tables" ||
    { echo "the adjustments of $out did not stick" >&2; return 1; }
}

package_cab() {
  local dll=$1 version=$2 out=$3 work
  work=$(mktemp -d) || return 1
  cp "$dll" "$work/Fotoloft.dll"
  sed -e "s/@CLSID@/$FOTOLOFT_CLSID/g" -e "s/@VERSION_COMMAS@/${version//./,}/g" \
    "$PACKAGING_DIR/Fotoloft.inf.in" | sed 's/$/\r/' >"$work/Fotoloft.inf"
  rm -f "$out"
  (cd "$work" && gcab --create --zip "$out" Fotoloft.inf Fotoloft.dll) >&2
  local rc=$?
  rm -rf "$work"
  [ $rc -eq 0 ] || { echo "gcab could not write $out" >&2; return 1; }
}

signing_start() {
  local work=$1
  SIGN_PASS_FILE="$work/sign.pass"
  ( umask 077; : >"$SIGN_PASS_FILE" )
  if [ -n "${FOTOLOFT_SIGN_PFX:-}" ]; then
    [ -r "$FOTOLOFT_SIGN_PFX" ] || { echo "FOTOLOFT_SIGN_PFX: cannot read $FOTOLOFT_SIGN_PFX" >&2; return 1; }
    SIGN_PFX="$FOTOLOFT_SIGN_PFX"
    printf '%s' "${FOTOLOFT_SIGN_PASS:-}" >"$SIGN_PASS_FILE"
    SIGNING_WITH="the certificate in $FOTOLOFT_SIGN_PFX"
    return 0
  fi
  # A new key and certificate for this run only: nothing trusts it, and nothing keeps it.
  SIGN_PFX="$work/throwaway.pfx"
  openssl rand -hex 24 >"$SIGN_PASS_FILE"
  openssl req -x509 -newkey rsa:3072 -nodes -sha256 -days 7 \
    -subj "/CN=Fotoloft throwaway test signature $(date -u +%Y%m%dT%H%M%SZ)" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
    -keyout "$work/throwaway.key" -out "$work/throwaway.crt" >/dev/null 2>&1 &&
    openssl pkcs12 -export -inkey "$work/throwaway.key" -in "$work/throwaway.crt" \
      -passout "file:$SIGN_PASS_FILE" -out "$SIGN_PFX" >/dev/null 2>&1 ||
    { echo "openssl could not make a test certificate" >&2; return 1; }
  rm -f "$work/throwaway.key"
  SIGNING_WITH="a throwaway test certificate made for this run (trusted by nobody)"
}

sign_file() {
  local file=$1 stamp=()
  [ -n "${FOTOLOFT_SIGN_TIMESTAMP:-}" ] && stamp=(-ts "$FOTOLOFT_SIGN_TIMESTAMP")
  rm -f "$file.signed"
  osslsigncode sign -pkcs12 "$SIGN_PFX" -readpass "$SIGN_PASS_FILE" -h sha256 \
    -n "Fotoloft" "${stamp[@]}" -in "$file" -out "$file.signed" >"$file.sign.log" 2>&1 ||
    { cat "$file.sign.log" >&2; rm -f "$file.signed" "$file.sign.log"; echo "could not sign $file" >&2; return 1; }
  rm -f "$file.sign.log"
  mv "$file.signed" "$file"
}
