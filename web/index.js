// <kiv-player>: the control in a web page. The engine (the same C++ as the
// native control's, in WebAssembly) runs in a worker that reads the recording by
// byte ranges and decodes it; this element keeps the control's members, states
// and events and paints the rectangles the worker hands it.
import { build, drawActivity, formatSeconds, markerAt, showAbout, showStatistics } from "./element-parts.js";

const S = { closed: 0, opened: 1, playing: 2, paused: 3, stopped: 4, scan: 5, reverse: 6, opening: 7 };
const Step = { Play: 0, Pause: 1, Stop: 2, Scan: 3, Reverse: 4, Release: 5, Cancel: 6, BeginOpen: 7 };
const Member = { Open: 0, Close: 1, Play: 2, Pause: 3, Stop: 4, FastForward: 5, FastReverse: 6 };
const Caption = { DisplayMode: 0, Full: 1, Original: 2, Adaptive: 3, Status: 4, About: 5, StatusForm: 6,
                  AboutForm: 15 };
const dmAdaptive = 0, dmFull = 1, dmOriginal = 2;

// The control's own: "%7B", "%7D" and "%20" decoded; a bare name is taken from
// the folder of the page's address.
export function resolveAddress(address, pageUrl) {
  const norm = (a) => a.replace(/%7B/gi, "{").replace(/%7D/gi, "}").replace(/%20/g, " ");
  const url = norm(address);
  if (/[/\\]/.test(url)) return url;
  const page = norm(pageUrl || "");
  const sep = Math.max(page.lastIndexOf("/"), page.lastIndexOf("\\"));
  return sep < 0 ? url : page.slice(0, sep + 1) + url;
}

function chineseLanguage() {
  const l = (navigator.language || "").toLowerCase();
  return l.startsWith("zh-cn") || l === "zh";
}

// The control's table and captions, from the first engine that answered.
let shared = null;

const boolean = (v) => (typeof v === "number" ? (v & 0xffff) !== 0 : Boolean(v));
// A long of milliseconds no less than min, as the control takes it.
function milliseconds(v, min) {
  const n = Math.trunc(Number(v));
  if (!(n >= min && n <= 0x7fffffff)) throw new Error("Invalid property value");
  return n;
}
const rgb = (v) => `#${(v & 0xffffff).toString(16).padStart(6, "0")}`;

export class KivPlayer extends HTMLElement {
  static get observedAttributes() {
    return ["src", "autostart", "mode", "controls"];
  }

  constructor() {
    super();
    this._status = S.closed;
    this._url = "";
    this._autoStart = true;
    this._mode = dmAdaptive;
    this._savedMode = dmAdaptive;
    this._header = { width: 0, height: 0, duration: 0 };
    this._playThread = false; // an opened source, as the native play thread exists
    this._pos = 0;
    this._min = 0;
    this._max = 0;
    this._screenColor = 0;
    this._nailColor = 0;
    this._handlers = new Map();
    this._openId = 0;
    this._retryTimer = 0; // a failed open to be tried again, as the control does
    this._retryDelay = 0; // ms of the last wait; 0 before the first retry
    this._rate = 1; // kept across pause, seek and stop; an open starts at 1
    this._idle = { on: false, threshold: 2000, cap: 500 }; // kept across opens
    this._pauseOnMarker = false;
    this._activity = { seconds: [], idle: [], markers: [] }; // as far as the worker has read
    this._requests = new Map();
    this._requestId = 0;
    this._steps = shared && shared.steps;
    this._captions = shared && shared.captions;
    this._early = []; // member calls made before the engine answered
    this._nails = [];
    this._activeNail = -1;
    this._ui = build(this.attachShadow({ mode: "open" }));
    this._ctx = this._ui.canvas.getContext("2d");
    this._wire();
    this._showRate();
    this._worker = new Worker(new URL("worker.js", import.meta.url));
    this._worker.onmessage = (ev) => this._onMessage(ev.data);
  }

  // ----- members -----
  get URL() { return this._url; }
  set URL(v) { if (String(v).trim() !== "") this.Open(v); }
  get CurrentPosition() { return this._playThread ? this._pos : 0; }
  set CurrentPosition(ms) {
    if (!this._playThread) return;
    this._post({ cmd: "seek", ms: Math.max(0, ms | 0) });
  }
  get Duration() { return this._header.duration; }
  get KivWidth() { return this._header.width; }
  get KivHeight() { return this._header.height; }
  get Status() { return this._status; }
  get AutoStart() { return this._autoStart; }
  set AutoStart(v) { this._autoStart = boolean(v); }
  get DisplayMode() { return this._mode; }
  set DisplayMode(v) {
    if (v === this._mode) return;
    if (v === dmAdaptive || v === dmOriginal) this._chooseFrameMode(v);
    else if (v === dmFull) this._chooseFullScreen();
  }
  get FullScreen() { return this._mode === dmFull; }
  set FullScreen(v) { if (boolean(v)) this._chooseFullScreen(); }
  get ScreenBackgroundColor() { return this._screenColor; }
  set ScreenBackgroundColor(v) {
    this._screenColor = v & 0xffffff;
    this._ui.frame.style.background = rgb(v);
  }
  get NailBackgroundColor() { return this._nailColor; }
  set NailBackgroundColor(v) {
    this._nailColor = v & 0xffffff;
    this._ui.nails.style.background = rgb(v);
  }
  get Rate() { return this._rate; }
  set Rate(v) {
    const rate = Number(v);
    if (!(rate >= 0.25 && rate <= 16)) throw new Error("Invalid property value");
    this._rate = rate;
    this._post({ cmd: "rate", rate });
    this._showRate();
  }
  get SkipIdle() { return this._idle.on; }
  set SkipIdle(v) { this._setIdle({ on: boolean(v) }); }
  get IdleThreshold() { return this._idle.threshold; }
  set IdleThreshold(v) { this._setIdle({ threshold: milliseconds(v, 100) }); }
  get IdleCap() { return this._idle.cap; }
  set IdleCap(v) { this._setIdle({ cap: milliseconds(v, 0) }); }
  get PauseOnMarker() { return this._pauseOnMarker; }
  set PauseOnMarker(v) { this._pauseOnMarker = boolean(v); }
  // Only the markers of what has been read are known: a page reads no recording through.
  get MarkerCount() { return this._activity.markers.length; }
  get Markers() { return this._activity.markers.map((m) => `${m.time},${m.text}\n`).join(""); }
  NextMarker() { if (this._playThread) this._post({ cmd: "marker", forward: true }); }
  PreviousMarker() { if (this._playThread) this._post({ cmd: "marker", forward: false }); }
  get Max() { return this._max; }
  get Min() { return this._min; }

  Open(url) {
    this._cancelRetry();
    this._retryDelay = 0; // a page's own open starts the spacing afresh
    if (this._rate !== 1) this.Rate = 1; // a retry keeps it
    this._run(Member.Open, String(url));
  }
  LoadFile(url) { this.Open(url); }
  Play() { this._run(Member.Play); }
  Pause() { this._run(Member.Pause); }
  Stop() { this._run(Member.Stop); }
  Close() {
    this._cancelRetry();
    this._run(Member.Close);
  }
  FastForward() { this._run(Member.FastForward); }
  FastReverse() { this._run(Member.FastReverse); }
  SendScript() { throw new Error("Not Implement"); }

  attachEvent(name, handler) {
    if (!this._handlers.has(name)) this._handlers.set(name, []);
    this._handlers.get(name).push(handler);
    return true;
  }
  detachEvent(name, handler) {
    const list = this._handlers.get(name) || [];
    const i = list.indexOf(handler);
    if (i >= 0) list.splice(i, 1);
    return i >= 0;
  }

  // The composed picture at the recording's size, pointer included.
  getPicture() {
    return this._request({ cmd: "picture" }).then((m) => {
      if (!m.pixels) throw new Error("No picture has been composed");
      return new ImageData(new Uint8ClampedArray(m.pixels), m.width, m.height);
    });
  }
  // Resolves when the next changed rectangle has been painted (for benchmarks).
  nextPaint() {
    return new Promise((resolve) => {
      this._painted = () => {
        this._painted = null;
        resolve();
      };
    });
  }
  // Bytes read, first and last buffered time stamps (for benchmarks).
  getBuffer() { return this._request({ cmd: "buffer" }); }
  // Decodes every payload of the recording at url in the engine (benchmarks):
  // resolves to {ms, payloads, bytes}.
  decodeAll(url) {
    return this._request({ cmd: "decodeAll", url: new URL(url, document.baseURI).href });
  }

  // ----- attributes -----
  attributeChangedCallback(name, _old, value) {
    if (name === "src" && value && value.trim()) this.Open(value);
    else if (name === "autostart") this._autoStart = value !== "false";
    else if (name === "mode") {
      const mode = { adaptive: dmAdaptive, original: dmOriginal, full: dmFull }[value];
      if (mode !== undefined) this.DisplayMode = mode;
    } else if (name === "controls") this._ui.bar.hidden = value === "none";
  }
  // The form's own events: OnCreate and OnDestroy as the element joins and leaves
  // the page, OnActivate and OnDeactivate as focus comes and goes, OnPaint when
  // its area is laid out anew, OnDblClick.
  connectedCallback() {
    if (!this.hasAttribute("tabindex")) this.tabIndex = 0; // keys reach the player
    this._fire("OnCreate");
  }
  disconnectedCallback() {
    this._cancelRetry();
    clearInterval(this._ui.statistics.timer);
    if (this._status !== S.closed) this.Close();
    this._fire("OnDestroy");
  }

  // ----- the state machine, from the control's table -----
  _run(member, address) {
    if (!this._steps) {
      this._early.push([member, address]);
      return;
    }
    for (const step of this._steps[member][this._status]) this._do(step, address);
  }

  _do(step, address) {
    switch (step) {
      case Step.Play:
        this._post({ cmd: "play", speed: 1 });
        this._setStatus(S.playing, true);
        break;
      case Step.Pause:
        this._post({ cmd: "pause" });
        this._setStatus(S.paused, true);
        break;
      case Step.Stop:
        this._post({ cmd: "stop" });
        this._pos = 0;
        this._setStatus(S.stopped, true);
        this._showPosition(0);
        break;
      case Step.Scan:
        this._post({ cmd: "play", speed: 2 });
        this._setStatus(S.scan, false);
        break;
      case Step.Reverse:
        throw new Error("Not Implement");
      case Step.Release:
      case Step.Cancel:
        ++this._openId; // a result still on its way is stale
        this._post({ cmd: "close" });
        this._endPreviews();
        this._playThread = false;
        this._forgetActivity();
        this._setStatus(S.closed, false);
        break;
      case Step.BeginOpen:
        this._beginOpen(address);
        break;
    }
  }

  _beginOpen(address) {
    this._url = resolveAddress(address, document.URL);
    this._ui.message.hidden = true;
    this._ui.nails.classList.remove("shown");
    this._forgetActivity();
    const id = ++this._openId;
    this._setStatus(S.opening, true);
    this._openStarted = performance.now();
    this._post({ cmd: "probe", id, url: new URL(this._url, document.baseURI).href,
                 lastDelay: this._retryDelay });
  }

  // Markers and activity go with the recording they were read from.
  _forgetActivity() {
    this._activity = { seconds: [], idle: [], markers: [] };
    drawActivity(this._ui.activity, this._activity, 0);
  }

  _cancelRetry() {
    clearTimeout(this._retryTimer);
    this._retryTimer = 0;
  }

  _onOpened(m) {
    if (m.id !== this._openId || this._status !== S.opening) return;
    this._header = { width: m.width, height: m.height, duration: m.duration };
    if (m.code !== 0) {
      this._setStatus(S.closed, false);
      // The control's message: the code's text, ":" and the address as resolved.
      const text = m.text.slice(0, m.text.length - m.url.length) + this._url;
      this._ui.message.textContent = text;
      this._ui.message.hidden = false;
      if (m.retryIn > 0) {
        // No message box for a failure tried again: the text stays until the next try.
        this._retryDelay = m.retryIn;
        this._retryTimer = setTimeout(() => {
          this._retryTimer = 0;
          if (this._status === S.closed) this._beginOpen(this._url);
        }, m.retryIn);
        return;
      }
      this.dispatchEvent(new CustomEvent("KivError", { detail: { code: m.code, text } }));
      return;
    }
    this._retryDelay = 0;
    this._playThread = true;
    this._pos = 0;
    this._ui.seek.max = String(m.duration);
    this._showPosition(0);
    this._applyDisplayMode();
    this._loadThumbnails();
    this._setStatus(S.opened, true);
    if (this._autoStart) this.Play();
  }

  _setStatus(status, fire) {
    this._status = status;
    this._ui.play.innerHTML = status === S.playing || status === S.scan ? "&#10074;&#10074;" : "&#9654;";
    if (fire) this._fire("OnPlayStateChanged", status);
  }

  _fire(name, ...args) {
    for (const h of [...(this._handlers.get(name) || [])]) {
      try {
        h(...args);
      } catch (e) {
        setTimeout(() => { throw e; });
      }
    }
    this.dispatchEvent(new CustomEvent(name, { detail: args }));
  }

  // ----- the worker -----
  _post(m) { this._worker.postMessage(m); }
  _request(m) {
    const id = ++this._requestId;
    return new Promise((resolve) => {
      this._requests.set(id, resolve);
      this._post({ ...m, id });
    });
  }

  _onMessage(m) {
    switch (m.type) {
      case "ready":
        shared = shared ||
          { steps: m.steps, captions: m.captions[chineseLanguage() ? 1 : 0], version: m.version };
        this._steps = shared.steps;
        this._captions = shared.captions;
        this._fillMenu();
        this._ui.skipIdle.textContent = chineseLanguage() ? "跳过空闲" : "Skip idle"; // kivplayer's
        for (const [member, address] of this._early.splice(0)) this._run(member, address);
        break;
      case "opened":
        this._onOpened(m);
        break;
      case "layout":
        this._ui.canvas.width = m.width;
        this._ui.canvas.height = m.height;
        break;
      case "rect":
        if (!this._playThread) break;
        this._ctx.putImageData(new ImageData(new Uint8ClampedArray(m.pixels), m.r - m.l, m.b - m.t), m.l, m.t);
        if (this._painted) this._painted();
        break;
      case "position":
        if (!this._playThread) break;
        this._takeBuffer(m);
        this._pos = m.ms;
        this._showPosition(m.ms);
        this._fire("OnPositionChanged", m.ms);
        break;
      case "playpos":
        if (this._playThread && (this._status === S.playing || this._status === S.scan)) {
          this._takeBuffer(m);
          this._pos = m.ms;
          this._showPosition(m.ms);
        }
        break;
      case "paused":
        if (this._playThread) {
          this._takeBuffer(m);
          this._pos = m.ms;
          this._showPosition(m.ms);
        }
        break;
      case "marker":
        if (!this._playThread) break;
        this._fire("OnMarker", m.ms);
        if (this._pauseOnMarker && this._status === S.playing) this.Pause();
        break;
      case "activity":
        if (!this._playThread) break;
        this._activity = { seconds: m.seconds, idle: m.idle, markers: m.markers };
        drawActivity(this._ui.activity, this._activity, this._header.duration);
        break;
      case "answered":
        if (this._playThread) this._pos = m.ms;
        this._settle(m);
        break;
      case "log":
        console.warn("kiv-player:", m.text);
        break;
      default:
        this._settle(m);
    }
  }

  _settle(m) {
    const resolve = this._requests.get(m.id);
    if (!resolve) return;
    this._requests.delete(m.id);
    resolve(m);
  }

  _takeBuffer(m) {
    if (m.min !== undefined) {
      this._min = m.min;
      this._max = m.max;
    }
  }

  // Touches the bar only where what it shows changes: every change costs the page
  // a frame of its own (style, layout, paint, composite), ten times a second.
  _showPosition(ms) {
    const ui = this._ui;
    const pixel = this._header.duration / Math.max(1, ui.seek.clientWidth);
    const moved = Math.abs(Number(ui.seek.value) - ms);
    if (!this._dragging && (moved >= pixel || (ms === 0 && moved > 0))) ui.seek.value = String(ms);
    const time = `${formatSeconds(ms / 1000)} / ${formatSeconds(this._header.duration / 1000)}`;
    if (ui.time.textContent !== time) ui.time.textContent = time;
    this._highlightNail(Math.floor(ms / 1000));
  }

  // ----- display modes -----
  _chooseFrameMode(mode) {
    if (this._mode === mode) return;
    this._mode = mode;
    if (this._playThread) this._applyDisplayMode();
    this._fire("OnDisplayModeChanged", mode);
  }
  _chooseFullScreen() {
    if (this._mode === dmFull) return;
    this._savedMode = this._mode;
    this._mode = dmFull;
    if (this._playThread) this._applyDisplayMode();
    this._fire("OnDisplayModeChanged", dmFull);
  }
  _leaveFullScreen() {
    if (this._mode !== dmFull) return;
    this._mode = this._savedMode;
    this._applyDisplayMode();
    this._fire("OnDisplayModeChanged", this._mode);
  }

  _applyDisplayMode() {
    const frame = this._ui.frame;
    frame.classList.toggle("original", this._mode === dmOriginal);
    frame.classList.toggle("full", this._mode === dmFull);
    if (this._mode === dmFull) {
      if (!document.fullscreenElement && frame.requestFullscreen)
        frame.requestFullscreen().catch(() => {}); // refused without a gesture: the overlay stays
    } else if (document.fullscreenElement === frame) {
      document.exitFullscreen().catch(() => {});
    }
    this._layout();
  }

  _layout() {
    if (!this._playThread) return;
    const f = this._ui.frame;
    this._post({ cmd: "layout", mode: this._mode, width: f.clientWidth, height: f.clientHeight });
  }

  // ----- what the user does -----
  _wire() {
    const ui = this._ui;
    ui.play.onclick = () => this._guard(() =>
      this._status === S.playing || this._status === S.scan ? this.Pause() : this.Play());
    ui.stop.onclick = () => this._guard(() => this.Stop());
    ui.speed.onchange = () => { if (ui.speed.value) this.Rate = Number(ui.speed.value); };
    ui.ff.onclick = () => this._guard(() => this.FastForward());
    ui.skipIdle.onclick = () => { this.SkipIdle = !this._idle.on; };
    ui.activity.onmousemove = (e) => {
      const box = ui.activity.getBoundingClientRect();
      const m = markerAt(this._activity.markers, this._header.duration, e.clientX - box.left, box.width);
      ui.activity.title = m ? `${formatSeconds(m.time / 1000)}${m.text ? ` ${m.text}` : ""}` : "";
    };
    ui.seek.oninput = () => { this._dragging = true; };
    ui.seek.onchange = () => {
      this._dragging = false;
      this.CurrentPosition = Number(ui.seek.value);
    };
    ui.seek.onmousemove = (e) => this._hover(e);
    ui.seek.onmouseleave = () => { ui.preview.style.display = "none"; this._hovered = null; };
    ui.canvas.onclick = () => this._fire("OnClick");
    ui.frame.onclick = (e) => { if (e.target === ui.frame) this._fire("OnClick"); };
    ui.canvas.ondblclick = () => (this._mode === dmFull ? this._leaveFullScreen() : this._chooseFullScreen());
    ui.frame.addEventListener("dblclick", () => this._fire("OnDblClick"));
    this.addEventListener("focusin", () => {
      if (!this._active) this._fire("OnActivate");
      this._active = true;
    });
    this.addEventListener("focusout", (e) => {
      if (this.contains(e.relatedTarget) || this.shadowRoot.contains(e.relatedTarget)) return;
      this._active = false;
      this._fire("OnDeactivate");
    });
    new ResizeObserver(() => this._fire("OnPaint")).observe(this);
    document.addEventListener("fullscreenchange", () => {
      if (!document.fullscreenElement && this._mode === dmFull) this._leaveFullScreen();
    });
    new ResizeObserver(() => { if (this._mode === dmAdaptive) this._layout(); }).observe(ui.frame);
    new ResizeObserver(() => drawActivity(ui.activity, this._activity, this._header.duration))
      .observe(ui.activity);
    this.addEventListener("keydown", (e) => this._key(e));
    this.addEventListener("keypress", (e) => {
      if (e.key.length === 1) this._fire("OnKeyPress", e.key.charCodeAt(0));
    });
    ui.frame.oncontextmenu = (e) => {
      e.preventDefault();
      this._showMenu(e);
    };
    this.shadowRoot.addEventListener("click", (e) => {
      if (!ui.menu.contains(e.target)) ui.menu.style.display = "none";
    });
  }

  _guard(f) {
    try {
      f();
    } catch (e) {
      console.warn("kiv-player:", e.message);
    }
  }

  _setIdle(change) {
    Object.assign(this._idle, change);
    this._post({ cmd: "idle", ...this._idle });
    this._ui.skipIdle.classList.toggle("on", this._idle.on);
    this._ui.skipIdle.setAttribute("aria-pressed", String(this._idle.on));
  }

  _showRate() {
    const speed = this._ui.speed;
    const text = `${Number(this._rate.toFixed(2))}x`;
    if (![...speed.options].some((o) => Number(o.value) === this._rate)) speed.options[0].text = text;
    speed.value = [...speed.options].find((o) => Number(o.value) === this._rate) ? String(this._rate) : "";
  }

  // The keys of kivplayer's window; the rate steps as mpv's do, within 0.25 to 16.
  _key(e) {
    const step = { ArrowLeft: -5000, ArrowRight: 5000 }[e.key];
    const rate = { "[": 1 / 1.1, "]": 1.1, "{": 0.5, "}": 2 }[e.key];
    if (rate || e.key === "Backspace") this.Rate = rate ? Math.min(16, Math.max(0.25, this._rate * rate)) : 1;
    else if (e.key === " ") this._guard(() =>
      this._status === S.playing || this._status === S.scan ? this.Pause() : this.Play());
    else if (step) this.CurrentPosition = Math.max(0, this.CurrentPosition + step);
    else if (e.key === "Home") this.CurrentPosition = 0;
    else if (e.key === "PageDown") this.NextMarker();
    else if (e.key === "PageUp") this.PreviousMarker();
    else if (e.key === "f" || e.key === "F") this._chooseFullScreen();
    else if (e.key === "Escape") this._leaveFullScreen();
    else return;
    e.preventDefault();
  }

  _fillMenu() {
    const c = this._captions;
    const menu = this._ui.menu;
    menu.innerHTML = "";
    const item = (text, mode) => {
      const d = document.createElement("div");
      d.textContent = text;
      d.dataset.mode = mode;
      d.onclick = () => {
        menu.style.display = "none";
        this.DisplayMode = mode;
      };
      menu.append(d);
    };
    const title = document.createElement("div");
    title.textContent = c[Caption.DisplayMode];
    title.style.fontWeight = "bold";
    menu.append(title);
    item(c[Caption.Full], dmFull);
    item(c[Caption.Original], dmOriginal);
    item(c[Caption.Adaptive], dmAdaptive);
    const dialog = (text, name, show) => {
      menu.append(document.createElement("hr"));
      const d = document.createElement("div");
      d.textContent = text;
      d.dataset.dialog = name;
      d.onclick = () => {
        menu.style.display = "none";
        show();
      };
      menu.append(d);
    };
    dialog(c[Caption.Status], "statistics", () => showStatistics(this._ui.statistics,
      c.slice(Caption.StatusForm, Caption.AboutForm), () => this._request({ cmd: "statistics" })));
    dialog(c[Caption.About], "about", () => showAbout(this._ui.about, c.slice(Caption.AboutForm),
                                                      shared.version));
  }

  _showMenu(e) {
    const menu = this._ui.menu;
    if (!this._captions) return;
    for (const d of menu.querySelectorAll("[data-mode]"))
      d.classList.toggle("checked", Number(d.dataset.mode) === this._mode);
    const box = this.getBoundingClientRect();
    menu.style.left = `${e.clientX - box.left}px`;
    menu.style.top = `${e.clientY - box.top}px`;
    menu.style.display = "block";
  }

  // ----- previews over the seek slider, from a worker of their own -----
  _hover(e) {
    if (!this._playThread || !this._header.duration) return;
    const box = this._ui.seek.getBoundingClientRect();
    const x = Math.min(Math.max(e.clientX - box.left, 0), box.width);
    this._hovered = { ms: Math.round((x / box.width) * this._header.duration), x: e.clientX };
    if (!this._previewWorker) {
      this._previewWorker = new Worker(new URL("worker.js", import.meta.url));
      this._previewWorker.onmessage = (ev) => this._onPreview(ev.data);
      this._previewWorker.postMessage({ cmd: "open", id: 0, url: new URL(this._url, document.baseURI).href,
                                       preview: true });
    }
    if (!this._previewBusy) this._askPreview();
  }
  _askPreview() {
    if (!this._hovered) return;
    this._previewBusy = this._hovered;
    this._hovered = null;
    this._previewWorker.postMessage({ cmd: "preview", ms: this._previewBusy.ms });
  }
  async _onPreview(m) {
    if (m.type !== "preview") return;
    const asked = this._previewBusy;
    this._previewBusy = null;
    if (m.pixels && asked) {
      const c = this._ui.preview;
      const w = 192, h = Math.max(1, Math.round((m.height * w) / m.width));
      const bitmap = await createImageBitmap(new ImageData(new Uint8ClampedArray(m.pixels), m.width, m.height));
      c.width = w;
      c.height = h;
      c.getContext("2d").drawImage(bitmap, 0, 0, w, h);
      const box = this.getBoundingClientRect();
      c.style.left = `${Math.min(Math.max(asked.x - box.left - w / 2, 0), box.width - w)}px`;
      c.style.top = `${this._ui.bar.offsetTop - h - 4}px`;
      c.style.display = "block";
      c.title = formatSeconds(m.ms / 1000);
    }
    this._askPreview();
  }
  _endPreviews() {
    if (this._previewWorker) this._previewWorker.terminate();
    this._previewWorker = null;
    this._previewBusy = null;
    this._ui.preview.style.display = "none";
  }

  // ----- thumbnails beside the recording -----
  _loadThumbnails() {
    this._nails = [];
    this._activeNail = -1;
    this._ui.nails.innerHTML = "";
    const base = new URL(this._url, document.baseURI);
    const folder = new URL(".", base);
    const openId = this._openId;
    fetch(new URL("nails.xml", folder))
      .then((r) => (r.ok ? r.text() : Promise.reject(new Error(r.status))))
      .then((text) => {
        if (openId === this._openId) this._showThumbnails(text, folder);
      })
      .catch(() => {});
  }

  _showThumbnails(text, folder) {
    const lines = text.split(/\r?\n/);
    const names = new Map();
    const strip = this._ui.nails;
    for (const line of lines) {
      if (line.trim() === "" || this._nails.length >= 120) break;
      const eq = line.indexOf("=");
      const timeText = eq < 0 ? line : line.slice(0, eq);
      if (!/^\s*\d+\s*$/.test(timeText)) break; // the strip's reading ends with an error
      const key = timeText.toLowerCase();
      if (!names.has(key)) names.set(key, eq < 0 ? "" : line.slice(eq + 1).trim());
      const seconds = Math.floor(Number(timeText) / 1000);
      const index = this._nails.length;
      const cell = document.createElement("div");
      cell.className = "nail";
      cell.part = "nail";
      cell.dataset.index = String(index);
      cell.dataset.seconds = String(seconds);
      const img = document.createElement("img");
      img.src = new URL(`nails/${names.get(key)}`, folder).href;
      img.alt = "";
      const time = document.createElement("span");
      time.className = "nail-time";
      time.part = "nail-time";
      time.textContent = formatSeconds(seconds);
      const number = document.createElement("span");
      number.className = "nail-number";
      number.part = "nail-number";
      number.textContent = String(index + 1);
      cell.append(img, time, number);
      cell.onclick = () => this._fire("OnSkip", seconds);
      strip.append(cell);
      this._nails.push({ seconds, cell });
    }
    strip.classList.toggle("shown", this._nails.length > 0);
    this._layout();
  }

  // The cell of the last thumbnail at or before the second played.
  _highlightNail(second) {
    if (!this._nails.length || this._status !== S.playing) return;
    let found = -1;
    for (let i = 0; i < this._nails.length; ++i) if (this._nails[i].seconds <= second) found = i;
    if (found === this._activeNail) return;
    if (this._activeNail >= 0) this._nails[this._activeNail].cell.classList.remove("active");
    this._activeNail = found;
    if (found >= 0) {
      const cell = this._nails[found].cell;
      cell.classList.add("active");
      cell.scrollIntoView({ block: "nearest", inline: "nearest" });
    }
  }
}

if (!customElements.get("kiv-player")) customElements.define("kiv-player", KivPlayer);
