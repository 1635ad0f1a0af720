// Generated and mutated page texts through postMessage: bad JSON, wrong types, huge
// numbers, deep nesting, lone surrogates. The page never sees an error, and the control
// still answers afterwards.
var failures = 0;
function check(ok, what) { if (!ok) { host.echo("FAIL: " + what); failures++; } }

var answers = 0, badAnswers = 0;
control.recvMessage = function (text) {
    answers++;
    if (text !== '{"browser":"ie32","name":"load_complete","version":"2,8,29,51372"}\n') badAnswers++;
};

var seeds = [
    '{"name":"init","config":{"PostUrl":"http://127.0.0.1/u","ThreadCount":4,"Fields":{"a":"1","b":2},' +
        '"Cookie":"c","EncodeType":"gbk","FileNameGen":"crc"}}',
    '{"name":"init","config":{}}',
    '{"name":"setFields","fields":{"x":"y","z":[1,{"q":null}],"w":1.5e10}}',
    '{"name":"setFolder","path":"C:\\\\图片\\\\2026"}',
    '{"name":"addFile","path":"C:\\\\nothing-here\\\\a.jpg"}',
    '/* c */ {"name":"init", // x\n "config":{"Debug":false,"FilesLimit":-1,"FileSizeLimit":99999999999}}'
];
var fragments = ['{', '}', '[', ']', '"', ',', ':', 'null', 'true', '-', '1e999', '-1e999',
    '99999999999999999999999', '\\u', '\\uD800', '/*', '//', '"name"', '"config"', '"init"',
    '"ThreadCount"', '[[[[[[[[', '{"a":{"a":{"a":', '\u0000', '\uD800', '\uDC00', '\uFFFF', '\u4E2D',
    '0.0000000001', '"Fields":', '"path":[]'];

var state = 20261208;
function random(n) {  // a small deterministic generator, so a failure can be replayed
    state = (state * 1103515245 + 12345) % 2147483648;
    return state % n;
}
function mutate(text) {
    var edits = 1 + random(4);
    for (var e = 0; e < edits; e++) {
        var at = random(text.length + 1);
        switch (random(6)) {
        case 0: if (text.length) { var i = at % text.length;
                text = text.substr(0, i) + String.fromCharCode(random(3) === 0 ? 0xD800 + random(0x800) : random(0x80)) +
                       text.substr(i + 1); } break;
        case 1: text = text.substr(0, at); break;
        case 2: text = text.substr(0, at) + fragments[random(fragments.length)] + text.substr(at); break;
        case 3: if (text.length) { var j = at % text.length; text = text.substr(0, j) + text.substr(j + random(8)); } break;
        case 4: if (text.length) { var k = at % text.length; text = text.substr(0, k) + text.substr(k, random(16)) + text.substr(k); } break;
        default: text = text.substr(0, at) + seeds[random(seeds.length)].substr(0, random(40)) + text.substr(at); break;
        }
    }
    return text;
}
function repeat(s, n) { var out = ""; while (n > 0) { if (n & 1) out += s; s += s; n >>= 1; } return out; }

var fed = 0, errors = 0;
function feed(text) {
    try { control.postMessage(text); } catch (e) { errors++; if (errors < 5) host.echo("error: " + e.message); }
    fed++;
}
var start = new Date().getTime();
for (var n = 0; n < 50000; n++)
    feed(n % 10 === 0 ? seeds[n % seeds.length] : mutate(seeds[n % seeds.length]));
var depths = [10, 999, 1001, 20000, 200000];
for (var d = 0; d < depths.length; d++) {
    feed('{"name":"init","config":{"Fields":' + repeat("[", depths[d]) + repeat("]", depths[d]) + '}}');
    feed('{"name":"init","config":{"Fields":' + repeat("{", depths[d]) + repeat("}", depths[d]) + '}}');
    feed(repeat("[", depths[d]));
}
feed('{"name":"init","config":{"PostUrl":"' + repeat("x", 1 << 20) + '"}}');
feed('{"name":"init","config":{"ThreadCount":' + repeat("9", 5000) + '}}');
var seconds = (new Date().getTime() - start) / 1000;

check(errors === 0, errors + " texts raised an error in the page");
check(badAnswers === 0, badAnswers + " answers were not load_complete");
// Every tenth text is an untouched seed; three of the six seeds are "init" with a config.
check(answers >= 50000 / 10 / 2, "too few answers: " + answers);
var before = answers;
control.postMessage('{"name":"init","config":{}}');
check(answers === before + 1, "the control still answers after the flood");
host.echo("fed " + fed + " texts in " + seconds + " s, " + answers + " answers");
host.quit(failures ? 1 : 0);
