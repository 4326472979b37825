// The element's shadow tree: the picture frame, the transport bar and the
// thumbnail strip, with the parts pages may style.

export const style = `
:host { display: block; position: relative; width: 495px; height: 410px; background: #000;
        overflow: hidden; font: 12px sans-serif; color: #ddd; outline: none; }
.box { position: absolute; inset: 0; display: flex; flex-direction: column; }
.frame { flex: 1; min-height: 0; display: grid; overflow: hidden; background: #000; }
.frame.original { overflow: auto; }
.frame.full { position: fixed; inset: 0; z-index: 2147483647; overflow: auto; background: #000; }
canvas { margin: auto; display: block; image-rendering: pixelated; }
.message { position: absolute; left: 8px; right: 8px; top: 8px; padding: 6px; color: #fff;
           background: #900; white-space: pre-wrap; }
.bar { display: flex; align-items: center; gap: 6px; padding: 3px 6px; background: #222; }
.bar button { min-width: 28px; background: #444; color: #eee; border: 0; padding: 2px 6px; }
.track { flex: 1; display: flex; flex-direction: column; min-width: 40px; }
.track input[type=range] { width: 100%; margin: 0; }
.activity { display: block; width: 100%; height: 6px; }
.bar button.on { background: #27c; }
.bar select { background: #444; color: #eee; border: 0; }
.nails { display: none; height: 63px; overflow-x: auto; overflow-y: hidden; white-space: nowrap;
         background: #000; }
.nails.shown { display: block; }
.nail { display: inline-flex; flex-direction: column; align-items: center; margin: 2px;
        border: 2px solid transparent; cursor: pointer; vertical-align: top; position: relative; }
.nail.active { border-color: #fc0; }
.nail img { height: 36px; }
.nail-time, .nail-number { font-size: 10px; line-height: 11px; }
.preview { position: absolute; display: none; border: 1px solid #888; background: #000;
           pointer-events: none; }
.menu { position: absolute; background: #eee; color: #000; border: 1px solid #888; display: none;
        z-index: 3; min-width: 160px; }
.menu div { padding: 3px 10px; cursor: default; }
.menu div:hover { background: #39f; color: #fff; }
.menu .checked::before { content: "\\2713 "; }
.menu hr { margin: 2px 0; border: 0; border-top: 1px solid #aaa; }
.dialog { position: absolute; left: 0; top: 0; z-index: 4; background: #ece9d8; color: #000;
          border: 1px solid #666; font: 12px Arial, sans-serif; padding: 0 0 8px; min-width: 240px; }
.dialog[part=about] { left: 50%; top: 50%; transform: translate(-50%, -50%); }
.dialog .title { background: #0a246a; color: #fff; padding: 2px 6px; font-weight: bold; }
.dialog fieldset { margin: 8px 12px; display: grid; grid-template-columns: auto auto auto auto; gap: 4px 10px; }
.dialog .body { padding: 12px 16px; text-align: center; }
.dialog button { display: block; margin: 0 auto; min-width: 75px; }
`;

export function build(root) {
  root.innerHTML = `<style>${style}</style>
<div class="box">
  <div class="frame" part="frame"><canvas part="picture" width="0" height="0"></canvas></div>
  <div class="message" part="message" hidden></div>
  <div class="bar" part="bar">
    <button class="play" part="play-button">&#9654;</button>
    <button class="stop" part="stop-button">&#9632;</button>
    <button class="ff" part="fast-forward-button">&#9654;&#9654;</button>
    <div class="track"><input class="seek" part="seek" type="range" min="0" max="0" value="0" step="1">
      <canvas class="activity" part="activity" height="6"></canvas></div>
    <span class="time" part="time">00:00:00 / 00:00:00</span>
    <select class="speed" part="speed"><option value=""></option>${
      [0.25, 0.5, 1, 1.5, 2, 4, 8, 16].map((r) => `<option value="${r}">${r}x</option>`).join("")}</select>
    <button class="skip-idle" part="skip-idle-button" aria-pressed="false">Skip idle</button>
  </div>
  <div class="nails" part="nails"></div>
  <canvas class="preview" part="preview"></canvas>
  <div class="menu" part="menu"></div>
  <div class="dialog" part="statistics" hidden><div class="title"></div><fieldset><legend></legend>
    ${["From", "To", "Frames", "Bytes", "BPS", "Duration"].map((n) =>
      `<span data-caption="${n}"></span><span data-figure="${n}"></span>`).join("")}</fieldset><button></button></div>
  <div class="dialog" part="about" hidden><div class="title"></div>
    <div class="body"><b>Corvale KivPlayer </b><br><b class="version"></b></div><button></button></div>
</div>`;
  const $ = (s) => root.querySelector(s);
  return {
    frame: $(".frame"), canvas: $("canvas"), message: $(".message"), bar: $(".bar"),
    play: $(".play"), stop: $(".stop"), speed: $(".speed"), ff: $(".ff"), seek: $(".seek"), time: $(".time"),
    nails: $(".nails"), preview: $(".preview"), menu: $(".menu"), activity: $(".activity"),
    skipIdle: $(".skip-idle"), statistics: $("[part=statistics]"), about: $("[part=about]"),
  };
}

// hh:mm:ss of whole seconds.
export function formatSeconds(seconds) {
  const s = Math.max(0, Math.floor(seconds));
  const two = (n) => String(n).padStart(2, "0");
  return `${two(Math.floor(s / 3600))}:${two(Math.floor(s / 60) % 60)}:${two(s % 60)}`;
}

// kivplayer's activity strip: each column the busiest second that covers it on a log
// scale (a key frame does not drown the rest), idle stretches grey, markers as ticks.
export function drawActivity(canvas, activity, duration) {
  const w = Math.max(1, canvas.clientWidth);
  if (canvas.width !== w) canvas.width = w;
  const g = canvas.getContext("2d");
  const h = canvas.height;
  g.fillStyle = "#333";
  g.fillRect(0, 0, w, h);
  if (!(duration > 0) || w < 2) return;
  const x = (ms) => Math.floor((Math.min(Math.max(ms, 0), duration) / duration) * (w - 1));
  const column = new Float64Array(w);
  let most = 0;
  const s = activity.seconds;
  for (let i = 0; i + 2 < s.length; i += 3) {
    if (s[i] * 1000 > duration) continue;
    const v = Math.log1p(s[i + 1] / 1024 + 4 * s[i + 2]);
    // A second wider than a column covers all of its columns.
    for (let c = x(s[i] * 1000), end = Math.max(c + 1, x((s[i] + 1) * 1000)); c < end; ++c)
      column[c] = Math.max(column[c], v);
    most = Math.max(most, v);
  }
  for (let c = 0; c < w && most > 0; ++c) {
    if (column[c] <= 0) continue;
    const f = column[c] / most;
    g.fillStyle = hsv(0.6 * (1 - f), 0.9, 0.5 + 0.5 * f);
    g.fillRect(c, 0, 1, h);
  }
  g.fillStyle = "rgba(128,128,128,0.78)";
  for (let i = 0; i + 1 < activity.idle.length; i += 2) {
    const x0 = x(activity.idle[i]);
    g.fillRect(x0, 0, Math.max(1, x(activity.idle[i + 1]) - x0), h);
  }
  g.fillStyle = "#ffdc00";
  for (const m of activity.markers) if (m.time <= duration) g.fillRect(x(m.time), 0, 2, h);
}

// The marker whose tick lies within 3 pixels of x on a strip width wide.
export function markerAt(markers, duration, x, width) {
  if (!(duration > 0) || width < 2) return null;
  return markers.find((m) => m.time <= duration && Math.abs((m.time / duration) * (width - 1) - x) <= 3) || null;
}

function hsv(hue, sat, val) {
  const f = (n) => {
    const k = (n + hue * 6) % 6;
    return Math.round(255 * (val - val * sat * Math.max(0, Math.min(k, 4 - k, 1))));
  };
  return `rgb(${f(5)},${f(3)},${f(1)})`;
}

// The control's statistics dialog: its captions (TCaption order from StatusForm on)
// and, twice a second while shown, the figures ask() resolves to.
export function showStatistics(box, captions, ask) {
  const [title, group, from, to, frames, bytes, speed, length, close] = captions;
  box.querySelector(".title").textContent = title;
  box.querySelector("legend").textContent = group;
  const names = { From: from, To: to, Frames: frames, Bytes: bytes, BPS: speed, Duration: length };
  for (const [n, text] of Object.entries(names)) box.querySelector(`[data-caption=${n}]`).textContent = text;
  box.querySelector("button").textContent = close;
  const set = (n, text) => { box.querySelector(`[data-figure=${n}]`).textContent = text; };
  const time = (ms) => formatSeconds(ms / 1000);
  const refresh = () => ask().then((s) => {
    if (!s.reading) return; // without a recording the figures stay as they were
    const [first, last, count, held, kbps, duration] = s.figures;
    set("From", time(first));
    set("To", time(last));
    set("Frames", String(count));
    set("Bytes", `${held >>> 10}K`); // of the low 32 bits, as the control shows it
    set("BPS", `${kbps} Kbps`);
    set("Duration", time(duration));
  });
  clearInterval(box.timer);
  box.timer = setInterval(refresh, 500);
  box.querySelector("button").onclick = () => {
    clearInterval(box.timer);
    box.hidden = true;
  };
  box.hidden = false;
  return refresh();
}

export function showAbout(box, [title, ok], version) {
  box.querySelector(".title").textContent = title;
  box.querySelector(".version").textContent = version;
  box.querySelector("button").textContent = ok;
  box.querySelector("button").onclick = () => { box.hidden = true; };
  box.hidden = false;
}
