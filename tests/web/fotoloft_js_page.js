// web/fotoloft.js in the page host, run after it as a browser runs a page's scripts. The test
// fills in UPLOAD_URL and PICTURE. Calls made before "init" is answered wait for the answer:
// "init" adds its "Fields" to the table, a later "setFields" replaces it, so the fields that
// reach the server show the order the control received them in.
var failures = 0;
function check(ok, what) { if (!ok) { host.echo("FAIL: " + what); failures++; } }

var events = [];
var completion = null;
var uploader = Fotoloft.attach(control, {
    onLoad: function (e) { events.push("load " + e.browser + " " + e.version); },
    onError: function (e) { events.push("error " + e.code); }
});
uploader.on("complete", function (e) { completion = e; });
host.echo("engine has JSON: " + (typeof JSON !== "undefined"));

var note = 'say "hi"\r\n\\ \u540d \u2028 </object>';
uploader.setFields({ album: "7", note: note, n: 1, yes: true, skipped: undefined });
uploader.addFile(PICTURE);
uploader.setFolder("C:\\");
check(events.length === 0, "events before init: " + events.join());
uploader.init({ PostUrl: UPLOAD_URL, ThreadCount: 2, Fields: { album: "1", stale: "from init" } });
check(events.join() === "load ie32 2,8,29,51372", "one load event: " + events.join());

control.FireRecvMessage("not a message");
check(events[1] === "error bad_message", "a text that is no message: " + events.join());

host.sleep(1500);     // the thumbnail
host.click(136, 16);  // the upload button
for (var waited = 0; completion === null && waited < 60000; waited += 100) host.sleep(100);
check(completion !== null, "no complete event");
if (completion) {
    check(completion.ids.length === 1 && completion.replies.length === 1, "one file: " + Fotoloft.stringify(completion.ids));
    var reply = completion.replies[0] || {};
    check(reply.success === 1 && reply.id === completion.ids[0], "the reply for the file: " + Fotoloft.stringify(reply));
    var f = reply.fields || {};
    check(f.album === "7" && f.note === note && f.n === "1" && f.yes === "true" && f.skipped === undefined,
          "the fields of setFields: " + Fotoloft.stringify(f));
    check(f.stale === undefined, "the fields of init outlived the later setFields");
    host.echo("STORED " + reply.file + " " + reply.sha256);
}

// A page handler that throws is reported as an error event; the others still run.
var after = 0;
uploader.on("complete", function () { throw new Error("page bug"); });
uploader.on("complete", function () { after++; });
control.FireRecvMessage('{"name":"post_complete"}\n');
check(events[events.length - 1] === "error handler_failed" && after === 1, "handler failure: " + events.join());
check(completion.ids.length === 0, "a task with no uploaded file gives no ids");

// The events of "Events": each message reaches its callback, named as documented.
var heard = [];
var withEvents = Fotoloft.attach(control, {
    onProgress: function (e) { heard.push("progress " + e.id + " " + e.sent + "/" + e.total); },
    onDone: function (e) { heard.push("done " + e.id + " " + e.svr.success + " " + e.index); },
    onFailed: function (e) { heard.push("failed " + e.id + " " + e.reason + " " + e.status + " " + e.reply); },
    onSummary: function (e) { heard.push("summary " + e.done + " " + e.failed + " " + e.notStarted); },
    onComplete: function (e) {
        var order = [];
        for (var i = 0; i < e.inListOrder.length; i++) order.push(e.inListOrder[i].id);
        heard.push("complete " + order.join(","));
    }
});
control.FireRecvMessage('{"id":"a","name":"file_progress","sent":5,"total":9}\n');
control.FireRecvMessage('{"id":"b","name":"file_failed","reason":"http_status","reply":"<h1>x</h1>","status":413}\n');
control.FireRecvMessage('{"id":"a","index":1,"name":"file_done","svr":{"success":1}}\n');
control.FireRecvMessage('{"imgs":[{"id":"c","index":2,"svr":{}},{"id":"a","index":1,"svr":{}},{"id":"d","index":0,"svr":{}}],"name":"post_complete"}\n');
control.FireRecvMessage('{"done":3,"failed":1,"name":"task_summary","not_started":2}\n');
check(heard.join("|") === "progress a 5/9|failed b http_status 413 <h1>x</h1>|done a 1 1|complete d,a,c|summary 3 1 2",
      "the events' callbacks: " + heard.join("|"));

// create() writes the <object> for the control into the element and wraps what it holds.
var element = {
    innerHTML: "",
    getElementsByTagName: function (tag) { return tag === "object" && this.innerHTML ? [control] : []; }
};
var loads = 0;
var created = Fotoloft.create(element, { width: 640, height: 480, id: "uploader", onLoad: function () { loads++; } });
check(element.innerHTML === '<object id="uploader" classid="clsid:D96B2961-0EDD-4D0C-BA33-2691A151E686" ' +
      'width="640" height="480"></object>', "markup: " + element.innerHTML);
created.init({});
check(loads === 1, "the created control answers init");

// No control: one "not_installed" error, also for a handler added afterwards, and nothing sent.
var missing = Fotoloft.create({ innerHTML: "", getElementsByTagName: function () { return []; } });
var codes = [];
missing.on("error", function (e) { codes.push(e.code); });
check(codes.join() === "not_installed" && missing.post({ name: "init", config: {} }) === false,
      "without a control: " + codes.join());

host.quit(failures ? 1 : 0);
