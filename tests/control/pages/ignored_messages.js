// Messages the control ignores get nothing back within a bounded wait and raise no script
// error; the control still answers afterwards.
var failures = 0;
function check(ok, what) { if (!ok) { host.echo("FAIL: " + what); failures++; } }

var received = [];
control.recvMessage = function (text) { received.push(text); };

var ignored = [
    '{"name":"init"}',                              // init without config
    '{"name":"init","config":null}',
    '{"name":"init","config":{}',                   // bad JSON
    'not json at all',
    '',
    '{"name":"Init","config":{}}',                  // names are case-sensitive
    '{"name":"unknown","config":{}}',
    '{"config":{}}',                                // no name
    '{"name":["init"],"config":{}}',                // a name that is not text
    '["init"]', '"init"', '42', 'null',             // roots that are not objects
    '{"name":"setFields","fields":{"a":"1"}}',      // valid, but answered by nothing
    '{"name":"setFolder","path":"C:\\\\photos"}',
    '{"name":"addFile","path":"C:\\\\no\\\\such.jpg"}',
    '{"name":"addFile","path":[1,2]}'
];
for (var i = 0; i < ignored.length; i++) {
    try {
        control.postMessage(ignored[i]);
    } catch (e) {
        check(false, "postMessage threw for " + ignored[i] + ": " + e.message);
    }
}
// Values of other types are converted to text first.
control.postMessage(12345);
control.postMessage(true);

host.sleep(500);
check(received.length === 0, "ignored messages got " + received.length + " answers: " + received.join("|"));

control.postMessage('{"name":"init","config":{}}');
check(received.length === 1, "the control still answers, got " + received.length);
host.quit(failures ? 1 : 0);
