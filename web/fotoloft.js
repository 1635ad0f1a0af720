/*
 * fotoloft.js: the page side of the Fotoloft upload control.
 *
 * The control talks to its page by JSON text only: the page calls control.postMessage(text)
 * and the control calls the function the page put in control.recvMessage. This script writes
 * those texts for you and turns the answers into named events:
 *
 *   var uploader = Fotoloft.create("upload-area", { width: 800, height: 500 });
 *   uploader.on("load", function (e) { ... e.version ... });
 *   uploader.on("complete", function (e) { ... e.ids[i], e.replies[i] ... });
 *   uploader.on("error", function (e) { ... e.code, e.message ... });
 *   uploader.init({ PostUrl: "https://example.com/upload", ThreadCount: 3 });
 *   uploader.setFields({ album: "7" });
 *   uploader.addFile("C:\\Photos\\a.jpg");
 *
 * Fotoloft.attach(control, handlers) wraps a control the page placed itself (an <object>
 * element). handlers may hold onLoad, onComplete, onError, onMessage, and (with "Events")
 * onProgress, onDone, onFailed and onSummary.
 *
 * init() is sent at once. addFile(), setFields() and setFolder() made before the control has
 * answered "init" wait and are sent, in order, right after its answer, so that "init" never
 * undoes them. Events:
 *   "load"      the answer to "init": { browser, version, data } (data: the message itself)
 *   "complete"  an upload has ended: { ids: [...], replies: [...], files: [{id, svr}], data }
 *               (ids[i] was stored by the server that answered replies[i]). It comes after
 *               a Cancel too, listing the pictures that went up before it (they have left
 *               the list); a cancelled upload that got none accepted sends no "complete".
 *   "error"     { code, message }: "not_installed" (no control to talk to), "bad_message"
 *               (a text from the control that is not a message), "send_failed" (the control
 *               refused a call), "handler_failed" (an event handler of the page threw)
 *   "message"   every message from the control, as an object
 * With init({ Events: true, ... }) the page also hears each file's upload as it happens:
 *   "progress"  { id, sent, total, data }: bytes of the file sent so far (at most 5 a second)
 *   "done"      { id, svr, index, data }: the server accepted the file
 *   "failed"    { id, reason, status, reply, index, data }: the file failed after its last
 *               try ("http_status", "not_accepted", "bad_reply", "timeout", "cannot_connect",
 *               "connection_lost", "unreadable", "redirected", "stopped")
 *   "summary"   { done, failed, notStarted, data }: the upload's end, after "complete"
 * With init({ SendIndex: true, ... }) "complete" also gives inListOrder: the files sorted by
 * their place in the list when the upload started, whatever order they finished in; index
 * is that place in "done" and "failed" (undefined without SendIndex).
 *
 * Written for the script engine of the browsers that host ActiveX controls: no newer
 * language features, and its own JSON code where the engine has no JSON object.
 */
var Fotoloft = (function () {
    var CLASS_ID = "D96B2961-0EDD-4D0C-BA33-2691A151E686";
    var EVENTS = { load: 1, complete: 1, error: 1, message: 1, progress: 1, done: 1, failed: 1, summary: 1 };
    var CALLBACKS = { onLoad: "load", onComplete: "complete", onError: "error", onMessage: "message",
                      onProgress: "progress", onDone: "done", onFailed: "failed", onSummary: "summary" };

    /* ---- JSON, for engines without it ---- */

    var escapes = { "\b": "\\b", "\t": "\\t", "\n": "\\n", "\f": "\\f", "\r": "\\r", "\"": "\\\"", "\\": "\\\\" };

    function hex4(c) {
        return "\\u" + ("0000" + c.charCodeAt(0).toString(16)).slice(-4);
    }

    function quote(text) {
        return "\"" + text.replace(/[\\"\u0000-\u001f\u007f-\u009f\u2028\u2029]/g, function (c) {
            return escapes[c] || hex4(c);
        }) + "\"";
    }

    function isArray(value) {
        return Object.prototype.toString.call(value) === "[object Array]";
    }

    function stringify(value) {
        var parts, key, i, text;
        switch (typeof value) {
        case "string":
            return quote(value);
        case "number":
            return isFinite(value) ? String(value) : "null";
        case "boolean":
            return String(value);
        case "object":
            if (value === null) {
                return "null";
            }
            parts = [];
            if (isArray(value)) {
                for (i = 0; i < value.length; i++) {
                    text = stringify(value[i]);
                    parts.push(text === undefined ? "null" : text);
                }
                return "[" + parts.join(",") + "]";
            }
            for (key in value) {
                if (Object.prototype.hasOwnProperty.call(value, key)) {
                    text = stringify(value[key]);
                    if (text !== undefined) {
                        parts.push(quote(key) + ":" + text);
                    }
                }
            }
            return "{" + parts.join(",") + "}";
        default:
            return undefined;  // functions and undefined are left out, as JSON.stringify does
        }
    }

    // Parses only text that is JSON: everything else is refused before it reaches eval.
    var unsafe = /[\u0000\u00ad\u0600-\u0604\u070f\u17b4\u17b5\u200c-\u200f\u2028-\u202f\u2060-\u206f\ufeff\ufff0-\uffff]/g;
    var escapeSequence = /\\(?:["\\\/bfnrt]|u[0-9a-fA-F]{4})/g;
    var token = /"[^"\\\n\r]*"|true|false|null|-?\d+(?:\.\d*)?(?:[eE][+\-]?\d+)?/g;
    var openBrackets = /(?:^|:|,)(?:\s*\[)+/g;
    var structure = /^[\],:{}\s]*$/;

    function parse(text) {
        text = String(text).replace(unsafe, hex4);
        if (structure.test(text.replace(escapeSequence, "@").replace(token, "]").replace(openBrackets, ""))) {
            return eval("(" + text + ")");
        }
        throw new SyntaxError("not JSON");
    }

    var json = {
        stringify: typeof JSON === "object" && JSON && JSON.stringify ? function (v) { return JSON.stringify(v); } : stringify,
        parse: typeof JSON === "object" && JSON && JSON.parse ? function (t) { return JSON.parse(t); } : parse
    };

    /* ---- the uploader ---- */

    function Uploader(control, handlers) {
        var self = this;
        this.control = control;
        this.loaded = false;
        this.failure = null;
        this.waiting = [];
        var callback;
        this.handlers = { load: [], complete: [], error: [], message: [], progress: [], done: [], failed: [], summary: [] };
        handlers = handlers || {};
        for (callback in CALLBACKS) {
            if (CALLBACKS.hasOwnProperty(callback) && handlers[callback]) {
                this.on(CALLBACKS[callback], handlers[callback]);
            }
        }
        if (!hasMember(control, "postMessage")) {
            this.fail("not_installed", "the Fotoloft control is not installed or not allowed on this page");
            return;
        }
        try {
            control.recvMessage = function (text) { self.receive(text); };
        } catch (e) {
            this.fail("not_installed", "the control does not take a receiver: " + describe(e));
        }
    }

    // A control's method reads as "unknown" or "function", or refuses to be read as a value;
    // an <object> whose control is not installed (or did not load) has no such member.
    function hasMember(object, name) {
        if (!object) {
            return false;
        }
        try {
            return typeof object[name] !== "undefined";
        } catch (e) {
            return true;
        }
    }

    function describe(error) {
        return error && (error.message || error.description) ? (error.message || error.description) : String(error);
    }

    // Adds handler for the event name; a handler for "error" added after a failure hears it.
    Uploader.prototype.on = function (name, handler) {
        if (!EVENTS.hasOwnProperty(name) || typeof handler !== "function") {
            throw new Error("Fotoloft: unknown event " + name);
        }
        this.handlers[name].push(handler);
        if (name === "error" && this.failure) {
            this.deliver(handler, this.failure, true);
        }
        return this;
    };

    // Calls one handler; what it throws becomes an "error" event, except from an error
    // handler, whose own failure goes nowhere.
    Uploader.prototype.deliver = function (handler, event, isErrorHandler) {
        try {
            handler.call(this, event);
        } catch (e) {
            if (!isErrorHandler) {
                this.emit("error", { code: "handler_failed", message: describe(e), error: e });
            }
        }
    };

    Uploader.prototype.emit = function (name, event) {
        var list = this.handlers[name].slice(0), i;
        for (i = 0; i < list.length; i++) {
            this.deliver(list[i], event, name === "error");
        }
    };

    Uploader.prototype.fail = function (code, message) {
        this.failure = { code: code, message: message };
        this.emit("error", this.failure);
    };

    // Sends one message (an object, or JSON text) to the control now.
    Uploader.prototype.post = function (message) {
        var text = typeof message === "string" ? message : json.stringify(message);
        if (this.failure && this.failure.code === "not_installed") {
            return false;
        }
        try {
            this.control.postMessage(text);
            return true;
        } catch (e) {
            this.emit("error", { code: "send_failed", message: describe(e) });
            return false;
        }
    };

    // Sends now once the control has answered "init"; until then keeps the message in order.
    Uploader.prototype.later = function (message) {
        if (this.loaded) {
            this.post(message);
        } else {
            this.waiting.push(message);
        }
        return this;
    };

    Uploader.prototype.init = function (config) {
        this.post({ name: "init", config: config || {} });
        return this;
    };

    Uploader.prototype.addFile = function (path) {
        return this.later({ name: "addFile", path: String(path) });
    };

    Uploader.prototype.setFields = function (fields) {
        return this.later({ name: "setFields", fields: fields || {} });
    };

    Uploader.prototype.setFolder = function (path) {
        return this.later({ name: "setFolder", path: String(path) });
    };

    Uploader.prototype.receive = function (text) {
        var message;
        try {
            message = json.parse(text);
        } catch (e) {
            message = null;
        }
        if (!message || typeof message !== "object" || typeof message.name !== "string") {
            this.emit("error", { code: "bad_message", message: "not a message from the control: " + String(text) });
            return;
        }
        this.emit("message", message);
        if (message.name === "load_complete") {
            this.loaded = true;
            this.emit("load", { browser: message.browser, version: message.version, data: message });
            this.flush();
        } else if (message.name === "post_complete") {
            // Every upload that got pictures accepted, a cancelled one included: those
            // pictures have left the control's list, so the page must hear of them.
            this.emit("complete", completion(message));
        } else if (message.name === "file_progress") {
            this.emit("progress", { id: message.id, sent: message.sent, total: message.total, data: message });
        } else if (message.name === "file_done") {
            this.emit("done", { id: message.id, svr: message.svr, index: message.index, data: message });
        } else if (message.name === "file_failed") {
            this.emit("failed", { id: message.id, reason: message.reason, status: message.status,
                                  reply: message.reply, index: message.index, data: message });
        } else if (message.name === "task_summary") {
            this.emit("summary", { done: message.done, failed: message.failed, notStarted: message.not_started,
                                   data: message });
        }
    };

    Uploader.prototype.flush = function () {
        var waiting = this.waiting, i;
        this.waiting = [];
        for (i = 0; i < waiting.length; i++) {
            this.post(waiting[i]);
        }
    };

    function completion(message) {
        var files = isArray(message.imgs) ? message.imgs : [], ids = [], replies = [], i;
        for (i = 0; i < files.length; i++) {
            ids.push(files[i] ? files[i].id : undefined);
            replies.push(files[i] && files[i].svr !== undefined ? files[i].svr : null);
        }
        return { ids: ids, replies: replies, files: files, inListOrder: inListOrder(files), data: message };
    }

    // The files by their "index" (SendIndex); without one on every file, as they finished.
    function inListOrder(files) {
        var sorted = files.slice(0), i;
        for (i = 0; i < sorted.length; i++) {
            if (!sorted[i] || typeof sorted[i].index !== "number") {
                return sorted;
            }
        }
        sorted.sort(function (a, b) { return a.index - b.index; });
        return sorted;
    }

    /* ---- making the control ---- */

    function attrib(name, value) {
        return " " + name + "=\"" + String(value).replace(/&/g, "&amp;").replace(/"/g, "&quot;").replace(/</g, "&lt;") + "\"";
    }

    // Creates the control inside element (an element or its id) and wraps it.
    // options: width and height (pixels or CSS lengths, default 800 and 500), id, and the
    // handlers of attach().
    function create(element, options) {
        var markup, control, found;
        options = options || {};
        if (typeof element === "string") {
            element = document.getElementById(element);
        }
        if (!element) {
            return new Uploader(null, options);
        }
        markup = "<object" + (options.id ? attrib("id", options.id) : "") +
            attrib("classid", "clsid:" + CLASS_ID) +
            attrib("width", options.width || 800) + attrib("height", options.height || 500) + "></object>";
        element.innerHTML = markup;
        found = element.getElementsByTagName("object");
        control = found && found.length ? found[0] : null;
        return new Uploader(control, options);
    }

    return {
        classId: CLASS_ID,
        create: create,
        attach: function (control, handlers) { return new Uploader(control, handlers); },
        stringify: json.stringify,
        parse: json.parse
    };
}());
