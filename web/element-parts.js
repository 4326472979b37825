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
.bar input[type=range] { flex: 1; }
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
    <input class="seek" part="seek" type="range" min="0" max="0" value="0" step="1">
    <span class="time" part="time">00:00:00 / 00:00:00</span>
    <select class="speed" part="speed"><option value=""></option>${
      [0.25, 0.5, 1, 1.5, 2, 4, 8, 16].map((r) => `<option value="${r}">${r}x</option>`).join("")}</select>
  </div>
  <div class="nails" part="nails"></div>
  <canvas class="preview" part="preview"></canvas>
  <div class="menu" part="menu"></div>
</div>`;
  const $ = (s) => root.querySelector(s);
  return {
    frame: $(".frame"), canvas: $("canvas"), message: $(".message"), bar: $(".bar"),
    play: $(".play"), stop: $(".stop"), speed: $(".speed"), ff: $(".ff"), seek: $(".seek"), time: $(".time"),
    nails: $(".nails"), preview: $(".preview"), menu: $(".menu"),
  };
}

// hh:mm:ss of whole seconds.
export function formatSeconds(seconds) {
  const s = Math.max(0, Math.floor(seconds));
  const two = (n) => String(n).padStart(2, "0");
  return `${two(Math.floor(s / 3600))}:${two(Math.floor(s / 60) % 60)}:${two(s % 60)}`;
}
