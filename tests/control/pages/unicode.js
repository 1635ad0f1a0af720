// Non-ASCII text survives both directions: a Chinese file path goes in through postMessage
// and FireRecvMessage and comes back unchanged; characters outside the BMP too.
var failures = 0;
function check(ok, what) { if (!ok) { host.echo("FAIL: " + what); failures++; } }

var received = [];
control.recvMessage = function (text) { received.push(text); };

var path = "C:\\用户\\照片\\上海 2026\\全家福.jpg";
var message = '{"name":"setFolder","path":"' + path.replace(/\\/g, "\\\\") + '"}';
control.FireRecvMessage(message);
check(received.length === 1 && received[0] === message, "Chinese path echoed unchanged: " + received[0]);

var rare = "\uD842\uDFB7野家 \u00E9\u00E8 \u2603";  // a supplementary character, accents, a snowman
control.FireRecvMessage(rare);
check(received[1] === rare, "characters outside the BMP survive");

// Through the parser and writer: a config with Chinese text still answers, and the settings
// message with the path is taken without error.
control.postMessage('{"name":"init","config":{"PostUrl":"http://127.0.0.1/上传","Fields":{"相册":"家庭"}}}');
check(received.length === 3, "init with Chinese settings is answered");
control.postMessage(message);
host.echo(path);
host.quit(failures ? 1 : 0);
