// "init" is answered with "load_complete", byte for byte as the page receives it, once per
// "init" that carries a config, synchronously inside postMessage.
var failures = 0;
function check(ok, what) { if (!ok) { host.echo("FAIL: " + what); failures++; } }

var received = [];
control.recvMessage = function (text) { received.push(text); };

var expected = '{"browser":"ie32","name":"load_complete","version":"2,8,29,51372"}\n';
control.postMessage('{"name":"init","config":{}}');
check(received.length === 1, "one answer to init, before postMessage returned, got " + received.length);
check(received[0] === expected, "load_complete bytes: " + received[0]);
check(received[0].charAt(received[0].length - 1) === "\n", "a trailing line feed");

// A full config, comments and all, gets the same answer.
control.postMessage('/* settings */ {"name":"init", // the page\n "config":{"PostUrl":"http://127.0.0.1:1/u",' +
                    '"ThreadCount":25,"Fields":{"a":1,"b":true},"EncodeType":"gbk","FileNameGen":"md5"}}');
check(received.length === 2 && received[1] === expected, "second init answered the same");

host.sleep(200);  // nothing else arrives later
check(received.length === 2, "no late answers, got " + received.length);
host.echo(received[0].replace("\n", "\\n"));
host.quit(failures ? 1 : 0);
