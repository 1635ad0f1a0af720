// FireRecvMessage hands its text to the page's function unchanged; assigning a new function
// replaces the old one; clearing it makes sends silent; a failing function is ignored.
var failures = 0;
function check(ok, what) { if (!ok) { host.echo("FAIL: " + what); failures++; } }

var first = [], second = [];
control.recvMessage = function (text) { first.push(text); };
control.FireRecvMessage("hello");
control.FireRecvMessage('{"any":"text","even":["not",{"a":"message"}]}');
check(first.length === 2 && first[0] === "hello", "FireRecvMessage echoes its text");
check(first[1] === '{"any":"text","even":["not",{"a":"message"}]}', "the text is passed unchanged");
control.FireRecvMessage("");
check(first.length === 3 && first[2] === "", "an empty text is delivered too");

control.recvMessage = function (text) { second.push(text); };
control.postMessage('{"name":"init","config":{}}');
control.FireRecvMessage("two");
check(first.length === 3, "the old function is no longer called");
check(second.length === 2 && second[1] === "two", "the new function receives everything");

control.recvMessage = null;
control.postMessage('{"name":"init","config":{}}');
control.FireRecvMessage("nobody");
control.recvMessage = undefined;
control.FireRecvMessage("nobody");
host.sleep(100);
check(first.length === 3 && second.length === 2, "sends are silent once cleared");

// Reassigning inside the function takes effect for the next text.
var third = [];
control.recvMessage = function (text) {
    third.push(text);
    control.recvMessage = function (t) { second.push(t); };
};
control.FireRecvMessage("a");
control.FireRecvMessage("b");
check(third.length === 1 && third[0] === "a", "the function replaced itself");
check(second[second.length - 1] === "b", "its replacement got the next text");
host.quit(failures ? 1 : 0);
