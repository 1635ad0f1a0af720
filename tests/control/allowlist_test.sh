#!/usr/bin/env bash
# The sites allowed to drive the control: with a list under HKCU\Software\Vantor\Fotoloft, a
# page from a listed site (or a subdomain of a "*." entry) is answered, and one from any
# other site, or with no address at all, gets no answer and changes nothing. The page host
# plays the page's address with --url, as a browser's container reports it.
set -uo pipefail
page="${FOTOLOFT_SOURCE_DIR:?}/scripts/page"
work=$(mktemp -d)
key='HKCU\Software\Vantor\Fotoloft'
cleanup() {
  wine reg delete "$key" /v AllowedSites /f >"$work/reg-delete.log" 2>&1 </dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The page: asks for an answer, and adds a field it then reads back through a second "init"
# (which answers only if the first one was taken).
cat >"$work/probe.js" <<'JS'
var answers = 0;
control.recvMessage = function (text) { answers++; };
control.postMessage('{"name":"init","config":{}}');
control.FireRecvMessage("echo");
for (var i = 0; i < 20 && answers < 2; i++) host.sleep(25);
host.echo(answers === 2 ? "answered" : answers === 0 ? "silent" : "partly " + answers);
JS

probe() {  # probe NAME [--url ADDRESS]: runs the page, leaves NAME.out
  local name=$1; shift
  "$page" "$work/probe.js" "$@" >"$work/$name.out" 2>"$work/$name.err"
  echo $? >"$work/$name.rc"
}
expect() {  # expect NAME WORD
  [ "$(cat "$work/$1.rc")" = 0 ] || fail "$1: exit code $(cat "$work/$1.rc"): $(cat "$work/$1.err")"
  grep -qx "$2" "$work/$1.out" || fail "$1: expected $2, got $(cat "$work/$1.out")"
}

# No list: every page is answered, with or without an address.
wine reg delete "$key" /v AllowedSites /f >"$work/reg.log" 2>&1 </dev/null
probe open_without_list --url "https://anywhere.test/page.html"
expect open_without_list answered

wine reg add "$key" /v AllowedSites /t REG_SZ /d "*.Example.com; site.test," /f >"$work/reg.log" 2>&1 </dev/null \
  || { echo "FAIL: could not write the list: $(cat "$work/reg.log")"; exit 1; }
probe subdomain --url "https://Upload.Example.COM:8443/app/index.html?x=1"
expect subdomain answered
probe exact --url "http://site.test/"
expect exact answered
probe other_site --url "https://evil.test/example.com/"
expect other_site silent
probe bare_domain --url "https://example.com/"         # "*." names subdomains only
expect bare_domain silent
probe lookalike --url "https://notexample.com/"
expect lookalike silent
probe userinfo --url "https://site.test@evil.test/"   # the host is evil.test
expect userinfo silent
probe local_file --url "file:///C:/site.test/page.html"
expect local_file silent
probe no_address
expect no_address silent

[ "$failures" -eq 0 ] && echo "allow-list: all checks passed"
exit $(( failures > 0 ))
