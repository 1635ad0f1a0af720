// A page that sends from inside its own recvMessage: each text sent while the function runs
// is delivered after it returns, in the order sent, and the function is never entered twice.
var failures = 0;
function check(ok, what) { if (!ok) { host.echo("FAIL: " + what); failures++; } }

var got = [], depth = 0, deepest = 0, rounds = 0;
control.recvMessage = function (text) {
    depth++;
    deepest = Math.max(deepest, depth);
    got.push(text);
    if (rounds < 50) {
        rounds++;
        // "init" answers "load_complete", which used to call this function again at once.
        control.postMessage('{"name":"init","config":{}}');
        control.FireRecvMessage("echo " + rounds);
        check(got[got.length - 1] === text, "nothing was delivered while the function ran");
    }
    depth--;
};
control.postMessage('{"name":"init","config":{}}');
for (var i = 0; i < 200 && got.length < 101; i++)
    host.sleep(20);

check(got.length === 101, "every text arrived: " + got.length);
check(deepest === 1, "the function was entered " + deepest + " deep");
var loadComplete = '{"browser":"ie32","name":"load_complete","version":"2,8,29,51372"}\n';
check(got[0] === loadComplete, "the first answer");
for (var k = 1; k <= 50; k++) {
    check(got[2 * k - 1] === loadComplete, "answer " + k + " in its place");
    check(got[2 * k] === "echo " + k, "echo " + k + " after it: " + got[2 * k]);
}
host.quit(failures ? 1 : 0);
