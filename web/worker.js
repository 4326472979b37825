// The player's engine in a Web Worker: it owns the reads (synchronous range
// requests, see src/web/range_stream.cpp) and the decoding, and hands the page
// the changed rectangles of what its canvas shows.
/* global KivEngine, importScripts */
"use strict";
importScripts("kivengine.js");

const BUDGET = 8; // blocks read per step while playing, so commands are served between
let E = null;
let scratch = 0; // 64 bytes for out-parameters
const queue = [];
let playing = false;
let speed = 1; // 2 while scanning
let rate = 1; // the page's play rate; a scan goes at 2 whatever it is
let clockRunning = false;
let startTick = 0;
let startPos = 0;
let timer = 0;
let ended = false;
let lastPlayPos = -1e9;
let openedUrl = "";
// Idle skipping as the page set it; each idle stretch is shortened once.
const idle = { on: false, threshold: 2000, cap: 500, skipped: -1 };
let drawnPos = -1; // the position when last seen to move, and when
let drawnTick = 0;
let activitySent = -1; // the activity table's version last posted, and when
let activityTick = -1e9;
// The player's engine (not a preview's): it reads ahead while it waits and tells its activity.
let idleReads = false;
let idleTimer = 0;

function str(s) {
  const n = E.lengthBytesUTF8(s) + 1;
  const p = E._malloc(n);
  E.stringToUTF8(s, p, n);
  return p;
}
function withStr(s, f) {
  const p = str(s);
  try {
    return f(p);
  } finally {
    E._free(p);
  }
}
const i32 = (i) => E.HEAP32[(scratch >> 2) + i];
const post = (m, t) => self.postMessage(m, t || []);

// The changed rectangle of the surface, as its own transferred buffer.
function flush(full) {
  if (!E._kiv_take_changes(full ? 1 : 0, scratch)) return;
  const [l, t, r, b, at, size] = [0, 1, 2, 3, 4, 5].map(i32);
  const pixels = E.HEAPU8.slice(at, at + size).buffer;
  post({ type: "rect", l, t, r, b, pixels }, [pixels]);
}

const factor = () => (speed === 2 ? 2 : rate);
function clock() {
  return startPos + (performance.now() - startTick) * factor();
}
function startClock(pos) {
  clockRunning = true;
  startTick = performance.now();
  startPos = pos;
}
function schedule(ms) {
  clearTimeout(timer);
  timer = setTimeout(loop, Math.max(0, ms));
}

function loop() {
  timer = 0;
  if (!playing || ended) return;
  let next;
  if (!clockRunning) {
    next = E._kiv_next_time(BUDGET);
    if (next >= 0) startClock(next);
  }
  if (clockRunning) next = E._kiv_play_to(clock(), BUDGET);
  flush(false);
  const pos = E._kiv_position();
  const now = performance.now();
  if (pos !== drawnPos) {
    drawnPos = pos;
    drawnTick = now;
  }
  for (let i = 0, n = E._kiv_take_passed(); i < n; ++i) post({ type: "marker", ms: E._kiv_notice(i) });
  postActivity(false);
  if (now - lastPlayPos >= 100) {
    lastPlayPos = now;
    post({ type: "playpos", ms: pos, ...buffered() });
  }
  if (next === -2) {
    schedule(0);
  } else if (next === -3) {
    schedule(100); // the server gave nothing: ask again, as the native play loop does
  } else if (next === -1) {
    ended = true;
    postActivity(true);
    post({ type: "playpos", ms: pos });
    post({ type: "ended", ms: pos });
  } else {
    E._kiv_read_ahead();
    skipIdleBefore(next, pos);
    schedule((next - clock()) / factor());
  }
}

// As the native play loop: the stretch's end comes the cap after its start was
// drawn (or now, when skipping was turned on later than that), and the clock
// runs on from there, reading below it meanwhile.
function skipIdleBefore(next, pos) {
  if (!idle.on || !clockRunning || !E._kiv_idle_at(pos, idle.threshold, scratch)) return;
  const to = new Float64Array(E.HEAPU8.buffer, scratch, 2)[1];
  if (next > to || to === idle.skipped) return;
  idle.skipped = to;
  startTick = Math.max(drawnTick + idle.cap, performance.now());
  startPos = to;
}

// The activity table as far as it has been read, when it changed (at most once a
// second unless asked at once): for the strip under the slider and the markers.
function postActivity(now) {
  if (!idleReads) return; // a preview's engine: nobody listens
  const version = E._kiv_activity_version();
  const tick = performance.now();
  if (version === activitySent || (!now && tick - activityTick < 1000)) return;
  activitySent = version;
  activityTick = tick;
  const at = E._kiv_activity(idle.threshold, scratch);
  const packed = new Float64Array(E.HEAPU8.buffer, at, i32(0));
  let k = 0;
  const take = (width) => {
    const n = packed[k++];
    const part = packed.slice(k, k + n * width);
    k += n * width;
    return part;
  };
  const seconds = take(3);
  const stretches = take(2);
  const markers = Array.from(take(1), (time, i) => ({ time, text: E.UTF8ToString(E._kiv_marker_text(i)) }));
  post({ type: "activity", seconds, idle: stretches, markers }, [seconds.buffer, stretches.buffer]);
}

// Min and Max: the first and last buffered time stamps.
function buffered() {
  E._kiv_buffer(scratch);
  const f = new Float64Array(E.HEAPU8.buffer, scratch, 3);
  return { min: f[0], max: f[1], bytes: f[2] };
}

function stopLoop() {
  clearTimeout(timer);
  timer = 0;
}

// A server that ignores ranges would send the whole recording for every read:
// one probe finds it, and the open fails as the native reader's does (its reads
// past the start come back empty), without downloading it.
async function ignoresRanges(url) {
  if (!/^https?:/i.test(url)) return false;
  try {
    const r = await fetch(url, { headers: { Range: "bytes=0-31" }, cache: "no-store" });
    if (r.body) r.body.cancel().catch(() => {});
    return r.status === 200;
  } catch (e) {
    return false; // the engine's own read reports it
  }
}

// Fetches [from, to) ahead for a seek with several requests at once, for pieces
// of 256 KiB growing to 1 MiB (the browser spends milliseconds on every request;
// the first pieces small so that decoding starts soon); the engine's reads still
// take the range stream's 32 KiB blocks, from what has arrived in one run from
// `from` on (src/web/range_stream.cpp), so that it decodes while the rest is on
// its way.
const PARALLEL = 4;
function fetchAhead(url, from, to) {
  const total = to - from;
  const starts = [];
  for (let at = 0, i = 0; at < total; ++i) {
    starts.push(at);
    at += 0x40000 << Math.min(2, i >> 2);
  }
  const count = starts.length;
  starts.push(total);
  const done = new Uint8Array(count);
  const abort = new AbortController();
  let next = 0, inFlight = 0, wake = null;
  const ahead = {
    from, length: 0, total, bytes: new Uint8Array(total), failed: false,
    // Nothing more will arrive: all in, or a piece failed (what follows a hole is of no use).
    settled: () => inFlight === 0 && (next >= count || ahead.failed),
    more: () => (ahead.settled() ? Promise.resolve() : new Promise((r) => { wake = r; })),
    stop: () => { ahead.failed = true; abort.abort(); },
  };
  let whole = 0; // pieces arrived in one run from the first
  const arrived = () => {
    while (whole < count && done[whole]) ++whole;
    ahead.length = starts[whole];
    if (wake) wake();
    wake = null;
  };
  const one = async () => {
    while (next < count && !ahead.failed) {
      const i = next++;
      const at = from + starts[i];
      const end = from + starts[i + 1];
      ++inFlight;
      try {
        const r = await fetch(url, { headers: { Range: `bytes=${at}-${end - 1}` }, signal: abort.signal,
                                     cache: "no-store" });
        const m = /bytes +([0-9]+)/.exec(r.headers.get("Content-Range") || "");
        if (r.status !== 206 || !m || Number(m[1]) !== at) throw new Error("not the range asked for");
        const body = new Uint8Array(await r.arrayBuffer());
        if (body.length !== end - at) throw new Error("short");
        ahead.bytes.set(body, at - from);
        done[i] = 1;
      } catch (e) {
        ahead.failed = true;
      }
      --inFlight;
      arrived();
    }
  };
  for (let k = 0; k < PARALLEL; ++k) one();
  return ahead;
}

const handlers = {
  async probe(m) {
    if (await ignoresRanges(m.url)) {
      const code = 5;
      const text = withStr(m.url, (p) => E.UTF8ToString(E._kiv_failure_text(code, p)));
      const retryIn = withStr(m.url, (p) => E._kiv_retry_delay(code, p, m.lastDelay || 0));
      post({ type: "opened", id: m.id, url: m.url, code, text, width: 0, height: 0, duration: 0,
             retryIn });
      return;
    }
    handlers.open(m);
  },
  open(m) {
    stopLoop();
    idleReads = !m.preview;
    playing = false;
    clockRunning = false;
    ended = false;
    openedUrl = m.url;
    const started = performance.now();
    const code = withStr(m.url, (p) => E._kiv_open(p));
    E._kiv_header(scratch);
    const [width, height, duration] = [0, 1, 2].map((i) => E.HEAPU32[(scratch >> 2) + i]);
    const text = code ? withStr(m.url, (p) => E.UTF8ToString(E._kiv_failure_text(code, p))) : "";
    const retryIn = code ? withStr(m.url, (p) => E._kiv_retry_delay(code, p, m.lastDelay || 0)) : 0;
    post({ type: "opened", id: m.id, url: m.url, code, text, width, height, duration, retryIn,
           ms: performance.now() - started });
    if (!code) postActivity(true);
  },
  close() {
    stopLoop();
    playing = false;
    E._kiv_close();
  },
  layout(m) {
    const zoom = E._kiv_layout(m.mode, m.width, m.height, scratch);
    post({ type: "layout", zoom, width: i32(0), height: i32(1) });
    flush(true);
  },
  play(m) {
    playing = true;
    // A scan rebases the clock where it stands; a play restarts it at the next sample.
    if (m.speed === 2 && clockRunning) startClock(clock());
    else clockRunning = false;
    speed = m.speed || 1;
    ended = false;
    idle.skipped = -1;
    schedule(0);
  },
  idle(m) {
    Object.assign(idle, { on: m.on, threshold: m.threshold, cap: m.cap, skipped: -1 });
    activitySent = -1; // the stretches depend on the threshold
    postActivity(true);
    if (playing && timer) schedule(0);
  },
  // The marker after the position, or before it: a seek there, as the control's.
  async marker(m) {
    const ms = E._kiv_marker(m.forward ? 1 : 0);
    if (ms >= 0) await handlers.seek({ ms });
  },
  // At once, and never moving the position: the clock goes on from where it is.
  rate(m) {
    if (clockRunning) startClock(clock());
    rate = m.rate;
    if (playing && timer) schedule(0);
  },
  pause() {
    playing = false;
    clockRunning = false;
    stopLoop();
    post({ type: "paused", ms: E._kiv_position(), ...buffered() });
  },
  stop() {
    playing = false;
    clockRunning = false;
    ended = false;
    stopLoop();
    E._kiv_stop();
  },
  async seek(m) {
    // While the seek reads, the play loop waits: it would draw from a half-read segment.
    stopLoop();
    const windowed = /^https?:/i.test(openedUrl);
    const told = [];
    const take = (n) => {
      for (let i = 0; i < n; ++i) told.push(E._kiv_notice(i));
    };
    let ahead = null;
    try {
      if (windowed && E._kiv_seek_span(m.ms, scratch)) {
        const f = new Float64Array(E.HEAPU8.buffer, scratch, 2);
        ahead = self.kivAhead = fetchAhead(openedUrl, f[0], f[1]);
        self.kivWindowed = true;
        await ahead.more();
      }
      take(E._kiv_set_position(m.ms));
      // Past what has arrived: wait for the next piece; past the window, fetch the
      // next one (growing); after a failed piece, read as usual.
      let size = 4 << 20;
      while (E._kiv_seek_pending(scratch)) {
        const f = new Float64Array(E.HEAPU8.buffer, scratch, 2);
        if (!ahead.settled()) {
          await ahead.more();
        } else if (ahead.failed) {
          self.kivWindowed = false;
        } else {
          ahead = self.kivAhead = fetchAhead(openedUrl, f[0], Math.min(f[0] + size, f[1]));
          size = Math.min(size * 2, 16 << 20);
          await ahead.more();
        }
        take(E._kiv_continue_seek());
      }
    } finally {
      if (ahead) ahead.stop(); // the rest of a window the seek did not need
      self.kivAhead = null;
      self.kivWindowed = false;
    }
    flush(false);
    idle.skipped = -1;
    postActivity(true);
    for (const ms of told) post({ type: "position", ms, ...buffered() });
    post({ type: "answered", id: m.id, ms: E._kiv_position() });
    if (playing) {
      ended = false;
      startClock(told.length ? told[told.length - 1] : m.ms);
      schedule(0);
    }
  },
  // The key frame before ms, for the seek slider's hover (a worker of its own).
  preview(m) {
    const at = E._kiv_key_time(m.ms);
    E._kiv_set_position(at);
    E._kiv_take_changes(0, scratch); // nothing is painted from this engine
    if (!E._kiv_picture(scratch)) {
      post({ type: "preview", id: m.id });
      return;
    }
    const [width, height, ptr, size] = [0, 1, 2, 3].map(i32);
    const pixels = E.HEAPU8.slice(ptr, ptr + size).buffer;
    post({ type: "preview", id: m.id, ms: at, width, height, pixels }, [pixels]);
  },
  repaint() {
    flush(true);
  },
  picture(m) {
    if (!E._kiv_picture(scratch)) {
      post({ type: "picture", id: m.id });
      return;
    }
    const [width, height, at, size] = [0, 1, 2, 3].map(i32);
    const pixels = E.HEAPU8.slice(at, at + size).buffer;
    post({ type: "picture", id: m.id, width, height, pixels }, [pixels]);
  },
  statistics(m) {
    const reading = E._kiv_statistics(scratch) === 1;
    const f = Array.from(new Float64Array(E.HEAPU8.buffer, scratch, 6));
    post({ type: "statistics", id: m.id, reading, figures: f });
  },
  buffer(m) {
    post({ type: "buffer", id: m.id, ...buffered() });
  },
  async decodeAll(m) {
    const bytes = new Uint8Array(await (await fetch(m.url)).arrayBuffer());
    const p = E._malloc(bytes.length);
    E.HEAPU8.set(bytes, p);
    const ms = E._kiv_decode_recording(p, bytes.length, scratch);
    E._free(p);
    const f = new Float64Array(E.HEAPU8.buffer, scratch, 2);
    post({ type: "decoded", id: m.id, ms, payloads: f[0], bytes: f[1] });
  },
};

// While nothing else is asked, the frames buffer fills as the native reading
// thread fills it (about 2 MiB ahead): seeks nearby draw from it, and its markers
// and activity are known. One block at a time, so that a command waits for one read at most.
function readWhileIdle() {
  idleTimer = 0;
  if (!idleReads || busy || playing || queue.length || !E._kiv_read_ahead()) {
    if (E) postActivity(true);
    return;
  }
  postActivity(false);
  idleTimer = setTimeout(readWhileIdle, 0);
}

let busy = false;
async function drain() {
  if (busy || !E) return;
  busy = true;
  while (queue.length) {
    const m = queue.shift();
    try {
      await handlers[m.cmd](m);
    } catch (e) {
      post({ type: "log", text: String(e) });
    }
  }
  busy = false;
  if (!idleTimer) idleTimer = setTimeout(readWhileIdle, 0);
}

self.onmessage = (ev) => {
  queue.push(ev.data);
  drain();
};

KivEngine().then((engine) => {
  E = engine;
  E._kiv_init(self.location.hash.includes("log") ? 1 : 0);
  scratch = E._malloc(64);
  // The control's member table, from the same C++ as the native core's.
  const steps = [];
  const out = E._malloc(16);
  for (let member = 0; member < 7; ++member) {
    steps.push([]);
    for (let status = 0; status < 8; ++status) {
      const n = E._kiv_member_steps(member, status, out);
      steps[member].push(Array.from(E.HEAPU8.subarray(out, out + n)));
    }
  }
  E._free(out);
  const captions = [[], []];
  for (let i = 0; E._kiv_caption(i, 0); ++i)
    for (const zh of [0, 1]) captions[zh].push(E.UTF8ToString(E._kiv_caption(i, zh)));
  post({ type: "ready", steps, captions, version: E.UTF8ToString(E._kiv_version()) });
  drain();
});
