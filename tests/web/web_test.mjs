// Drives <kiv-player> in Debian's chromium (headless, puppeteer-core) and checks
// it against the native engine: pictures equal kivtool snapshot's byte for byte,
// states and events follow the control's table, failures carry its texts.
import { execFileSync } from "node:child_process";
import { copyFileSync, mkdtempSync, readFileSync, renameSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import path from "node:path";
import puppeteer from "puppeteer-core";

const args = Object.fromEntries(
  process.argv.slice(2).reduce((a, v, i, all) => (i % 2 ? a : [...a, [v.slice(2), all[i + 1]]]), []));
const failures = [];
const check = (ok, what) => {
  if (!ok) failures.push(what);
  console.log(`${ok ? "ok  " : "FAIL"} ${what}`);
};

// The 24-bit picture kivtool wrote, as RGB rows from the top.
function snapshot(ms, play, name = "rec.kiv") {
  const out = path.join(args.work, `snap-${play ? "play-" : ""}${ms}.bmp`);
  execFileSync(args.kivtool, ["snapshot", ...(play ? ["--play"] : []),
                              path.join(args.root, name), String(ms), out]);
  const b = readFileSync(out);
  const at = b.readUInt32LE(10), w = b.readInt32LE(18), h = b.readInt32LE(22);
  const stride = (w * 3 + 3) & ~3;
  const rgb = Buffer.alloc(w * Math.abs(h) * 3);
  for (let y = 0; y < Math.abs(h); ++y) {
    const row = at + (h > 0 ? Math.abs(h) - 1 - y : y) * stride;
    for (let x = 0; x < w; ++x) {
      rgb[(y * w + x) * 3] = b[row + x * 3 + 2];
      rgb[(y * w + x) * 3 + 1] = b[row + x * 3 + 1];
      rgb[(y * w + x) * 3 + 2] = b[row + x * 3];
    }
  }
  return { w, h: Math.abs(h), rgb };
}

function samePicture(got, want) {
  if (!got || got.width !== want.w || got.height !== want.h) return false;
  let differ = 0;
  for (let i = 0, j = 0; j < want.rgb.length; i += 4, j += 3)
    if (got.data[i] !== want.rgb[j] || got.data[i + 1] !== want.rgb[j + 1] ||
        got.data[i + 2] !== want.rgb[j + 2] || got.data[i + 3] !== 255) ++differ;
  if (differ) console.log(`     ${differ} pixels differ`);
  return differ === 0;
}

// In the page: a fresh element whose events are recorded, and waits on them.
const helpers = () => {
  window.make = (attrs = {}, style = "width:820px;height:700px") => {
    document.body.innerHTML = "";
    const el = document.createElement("kiv-player");
    el.setAttribute("style", style);
    for (const [k, v] of Object.entries(attrs)) el.setAttribute(k, v);
    window.log = [];
    window.waiters = [];
    for (const name of ["OnPlayStateChanged", "OnPositionChanged", "OnDisplayModeChanged", "OnSkip", "OnMarker",
                        "KivError"]) {
      el.addEventListener(name, (e) => {
        window.log.push([name, e.detail]);
        for (const w of window.waiters.splice(0)) w();
      });
    }
    document.body.append(el);
    window.el = el;
    return el;
  };
  // Resolves once an event (name, and the first parameter when given) is in the log.
  window.until = (name, value) => new Promise((resolve, reject) => {
    const t = setTimeout(() => reject(new Error(`no ${name} ${value ?? ""} in 20 s`)), 20000);
    const look = () => {
      if (window.log.some(([n, d]) => n === name && (value === undefined || (d && d[0] === value) ||
                                                      (d && d.code === value)))) {
        clearTimeout(t);
        resolve();
      } else window.waiters.push(look);
    };
    look();
  });
  window.picture = async () => {
    const p = await window.el.getPicture();
    return { width: p.width, height: p.height, data: Array.from(p.data) };
  };
  window.states = () => window.log.filter(([n]) => n === "OnPlayStateChanged").map(([, d]) => d[0]);
  window.sleep = (ms) => new Promise((r) => setTimeout(r, ms));
};

const launch = (profile, lang) => puppeteer.launch({
  executablePath: "/usr/bin/chromium",
  headless: true,
  userDataDir: profile,
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         `--lang=${lang}`, `--accept-lang=${lang}`],
});
const profile = mkdtempSync(path.join(tmpdir(), "kiv-chromium-"));
const browser = await launch(profile, "en-US");
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1000, height: 900 });
  page.on("pageerror", (e) => check(false, `no page error: ${e.message}`));
  page.on("console", (m) => m.type() === "error" && console.log("     page:", m.text()));
  await page.goto(`${args.base}/index.html`);
  await page.waitForFunction(() => window.KivPlayer);
  await page.evaluate(helpers);

  // Seeking: the picture at each time equals kivtool snapshot's.
  await page.evaluate(async () => {
    window.make({ autostart: "false" }).Open("rec.kiv");
    await window.until("OnPlayStateChanged", 1);
  });
  check((await page.evaluate(() => window.el.URL)) === `${args.base}/rec.kiv`,
        "a bare name resolves against the page's address");
  check(JSON.stringify(await page.evaluate(() => window.states())) === "[7,1]",
        "open with AutoStart false: opening, opened");
  for (const ms of [0, 2500, 9000, 4100, 19999, 30000]) {
    await page.evaluate(async (t) => {
      window.make({ autostart: "false" }).Open("rec.kiv");
      await window.until("OnPlayStateChanged", 1);
      window.el.CurrentPosition = t;
    }, ms);
    check(samePicture(await page.evaluate(() => window.picture()), snapshot(ms, false)),
          `the picture at ${ms} ms equals kivtool snapshot's`);
  }

  // A segment longer than the frames buffer holds is drawn in pieces, to the same picture.
  await page.evaluate(async () => {
    window.make({ autostart: "false" }).Open("long.kiv");
    await window.until("OnPlayStateChanged", 1);
    window.el.CurrentPosition = 79000;
  });
  check(samePicture(await page.evaluate(() => window.picture()), snapshot(79000, true, "long.kiv")),
        "79 s into a 43 MB segment equals the played picture (kivtool snapshot --play)");

  // Playing from the start: the picture when paused equals the played snapshot.
  await page.evaluate(async () => {
    window.make({ autostart: "false" }).Open("rec.kiv");
    await window.until("OnPlayStateChanged", 1);
    window.el.Play();
    await window.sleep(1500);
    window.el.Pause();
  });
  // The worker answers the picture after its "paused", so the position is read once the
  // picture is in: read before, it may still be the last one shown while playing.
  const pausedPicture = await page.evaluate(() => window.picture());
  const paused = await page.evaluate(() => window.el.CurrentPosition);
  check(paused > 500, `playing moves the position (${paused} ms after 1.5 s)`);
  check(samePicture(pausedPicture, snapshot(paused, true)),
        `the picture paused at ${paused} ms equals kivtool snapshot --play's`);

  // The member-by-state rules: what each member fires and fails with in a state.
  const rules = [
    // [how to get there, member, events it fires, state after, failure text]
    ["opened", "Play()", [2], 2, ""],
    ["opened", "FastForward()", [2], 5, ""],
    ["opened", "FastReverse()", [2], 2, "Not Implement"],
    ["closed", "FastReverse()", [], 0, ""],
    ["closed", "Play()", [], 0, ""],
    ["playing", "Open('rec.kiv')", [4, 7], 7, ""],
    ["paused", "Open('rec.kiv')", [2, 4, 7], 7, ""],
    ["paused", "Stop()", [2, 4], 4, ""],
    ["playing", "Pause()", [3], 3, ""],
    ["playing", "Close()", [], 0, ""],
    ["opening", "Close()", [], 0, ""],
    ["opening", "Play()", [], 7, ""],
    ["stopped", "Pause()", [], 4, ""],
  ];
  for (const [state, call, events, after, text] of rules) {
    const got = await page.evaluate(async (s, c) => {
      const el = window.make({ autostart: "false" });
      await window.sleep(0);
      if (s !== "closed") el.Open("rec.kiv");
      if (s !== "closed" && s !== "opening") await window.until("OnPlayStateChanged", 1);
      if (s === "playing" || s === "paused" || s === "stopped") el.Play();
      if (s === "paused") el.Pause();
      if (s === "stopped") el.Stop();
      const before = window.states().length;
      let error = "";
      try {
        new Function("el", `el.${c}`)(el);
      } catch (e) {
        error = e.message;
      }
      return { events: window.states().slice(before), status: el.Status, error };
    }, state, call);
    check(JSON.stringify(got) === JSON.stringify({ events, status: after, error: text }),
          `${call} in ${state}: fires ${JSON.stringify(events)}, ends in ${after}` +
          (text ? `, fails with "${text}"` : "") + ` (got ${JSON.stringify(got)})`);
  }

  // Failures: the same results and texts as the native control's.
  const failing = [
    [`${args.base}/missing.kiv`, 1, "Can not open the file:"],
    [`${args.base}/bad-magic.kiv`, 1, "Can not open the file:"],
    ["KIVS://127.0.0.1/live", 1, "Can not open the file:"],
  ];
  const failed = (url) => page.evaluate(async (u) => {
      window.make().Open(u);
      await window.until("KivError");
      const detail = window.log.find(([n]) => n === "KivError")[1];
      const shown = window.el.shadowRoot.querySelector("[part=message]").textContent;
      return { detail, shown, status: window.el.Status, states: window.states() };
    }, url);
  const failsAs = async (url, code, text) => {
    const got = await failed(url);
    check(got.detail.code === code && got.detail.text === text + url && got.shown === text + url &&
          got.status === 0 && JSON.stringify(got.states) === "[7]",
          `${url} fails with ${code} "${text + url}" (got ${JSON.stringify(got)})`);
  };
  for (const [url, code, text] of failing) await failsAs(url, code, text);

  // A damaged answer from the network is tried again after a wait, without a
  // KivError (the control shows no message box for it), until it opens: a file
  // cut short, then whole; a server that ignores ranges, until Close.
  const retried = (url) => page.evaluate(async (u) => {
    const el = window.make();
    const message = el.shadowRoot.querySelector("[part=message]");
    const shown = [];
    new MutationObserver(() => message.hidden || shown.push(message.textContent))
      .observe(message, { attributes: true });
    const at = [];
    el.addEventListener("OnPlayStateChanged", () => at.push(performance.now()));
    el.Open(u);
    await new Promise((r) => {
      const look = () => (window.states().length >= 2 ? r() : window.waiters.push(look));
      look();
    });
    return { shown, states: window.states(), status: el.Status, gap: at[1] - at[0] };
  }, url);
  const late = path.join(args.root, "late.kiv");
  copyFileSync(path.join(args.root, "cut.kiv"), late);
  for (const url of [`${args.base}/late.kiv`, `${args.plain}/rec.kiv`]) {
    if (url.startsWith(args.plain)) {
      await page.goto(`${args.plain}/index.html`);
      await page.waitForFunction(() => window.KivPlayer);
      await page.evaluate(helpers);
    }
    const got = await retried(url);
    check(got.shown[0] === `File damaged:${url}` && JSON.stringify(got.states) === "[7,7]" &&
          got.gap >= 900,
          `${url} fails with "File damaged:" and is tried again after a second (got ${JSON.stringify(got)})`);
    if (url.startsWith(args.plain)) {
      await page.evaluate(() => window.el.Close());
      continue;
    }
    copyFileSync(path.join(args.root, "rec.kiv"), `${late}.new`);
    renameSync(`${late}.new`, late);
    const opened = await page.evaluate(async () => {
      await window.until("OnPlayStateChanged", 2);
      return { states: window.states(), errors: window.log.filter(([n]) => n === "KivError").length };
    });
    check(opened.errors === 0 && opened.states.slice(-2).join() === "1,2" &&
          opened.states.slice(0, -2).every((s) => s === 7),
          `once whole it opens and plays, with no KivError (got ${JSON.stringify(opened)})`);
  }
  await page.goto(`${args.base}/index.html`);
  await page.waitForFunction(() => window.KivPlayer);
  await page.evaluate(helpers);

  // Thumbnails: the strip beside the recording, OnSkip with a cell's seconds.
  const nails = await page.evaluate(async () => {
    const el = window.make();
    el.Open("rec.kiv");
    await window.until("OnPlayStateChanged", 2);
    const strip = el.shadowRoot.querySelector("[part=nails]");
    if (!strip.children.length)
      await new Promise((r) => new MutationObserver(r).observe(strip, { childList: true }));
    const cells = [...strip.querySelectorAll("[part=nail]")];
    cells[1].click();
    const skip = window.log.find(([n]) => n === "OnSkip");
    return {
      count: cells.length,
      seconds: cells.map((c) => Number(c.dataset.seconds)),
      number: cells[1].querySelector("[part=nail-number]").textContent,
      time: cells[1].querySelector("[part=nail-time]").textContent,
      skip: skip && skip[1],
    };
  });
  const lines = readFileSync(path.join(args.root, "nails.xml"), "latin1").split(/\r?\n/).filter((l) => l.trim());
  check(nails.count === lines.length && nails.number === "2" &&
        JSON.stringify(nails.skip) === JSON.stringify([nails.seconds[1]]) &&
        nails.seconds[1] === Math.floor(Number(lines[1].split("=")[0]) / 1000),
        `the strip has nails.xml's ${lines.length} cells; a click fires OnSkip (got ${JSON.stringify(nails)})`);

  // Display modes: original size, and adaptive fitted below it.
  const modes = await page.evaluate(async () => {
    const el = window.make({ autostart: "false" }, "width:420px;height:400px");
    el.Open("rec.kiv");
    await window.until("OnPlayStateChanged", 1);
    const canvas = el.shadowRoot.querySelector("[part=picture]");
    await window.sleep(100);
    const fitted = [canvas.width, canvas.height];
    el.DisplayMode = 2;
    el.DisplayMode = 2; // the same mode: no event
    el.DisplayMode = 3; // not a mode: ignored
    await window.sleep(100);
    return { fitted, original: [canvas.width, canvas.height], mode: el.DisplayMode,
             events: window.log.filter(([n]) => n === "OnDisplayModeChanged").map(([, d]) => d[0]) };
  });
  check(modes.fitted[0] <= 420 && modes.fitted[0] > 0 && modes.original[0] === 800 &&
        modes.original[1] === 600 && JSON.stringify(modes.events) === "[2]" && modes.mode === 2,
        `adaptive fits the frame, original is the recording's size (got ${JSON.stringify(modes)})`);

  // What a user does: the keys, the slider's preview, the menu's captions, no bar.
  await page.evaluate(async () => {
    const el = window.make({ autostart: "false" });
    el.Open("rec.kiv");
    await window.until("OnPlayStateChanged", 1);
    el.CurrentPosition = 1000;
    await window.until("OnPositionChanged");
    el.focus();
    window.log = [];
  });
  await page.keyboard.press("ArrowRight");
  await page.evaluate(() => window.el.getBuffer()); // answered after the seek's notices
  const keyed = await page.evaluate(() => window.el.CurrentPosition);
  check(keyed >= 5000 && keyed <= 6000, `Right goes 5 s on (at ${keyed} ms)`);
  // The rate keys step as mpv's, within 0.25 to 16, shown by the speed control.
  const rates = [];
  for (const key of ["}", "]", "[", "{", "{", "{", "{", "Backspace", "}", "}", "}", "}", "}"]) {
    await page.keyboard.press(key);
    rates.push(await page.evaluate(() => {
      const speed = window.el.shadowRoot.querySelector("[part=speed]");
      return `${Number(window.el.Rate.toFixed(3))}:${speed.selectedOptions[0].text}`;
    }));
  }
  const refused = await page.evaluate(() => {
    try {
      window.el.Rate = 17;
    } catch (e) {
      return `${e.message}, ${window.el.Rate}, ${window.el.CurrentPosition}`;
    }
  });
  check(rates.join(" ") === "2:2x 2.2:2.2x 2:2x 1:1x 0.5:0.5x 0.25:0.25x 0.25:0.25x 1:1x 2:2x 4:4x 8:8x 16:16x 16:16x" &&
        refused === `Invalid property value, 16, ${keyed}`,
        `[ ] { } Backspace step the rate, 17 is refused, the position stays (${rates.join(" ")}; ${refused})`);
  const slider = await page.evaluate(() => {
    const r = window.el.shadowRoot.querySelector("[part=seek]").getBoundingClientRect();
    return { x: r.left + r.width / 2, y: r.top + r.height / 2 };
  });
  const shown = page.evaluate(() => new Promise((resolve) => {
    const c = window.el.shadowRoot.querySelector("[part=preview]");
    new MutationObserver(() => c.style.display === "block" && resolve([c.width, c.height]))
      .observe(c, { attributes: true });
    setTimeout(() => resolve(["none after 20 s", window.el._hovered, window.el._previewBusy]), 20000);
  }));
  await page.mouse.move(slider.x, slider.y);
  const preview = await shown;
  check(preview[0] === 192 && preview[1] === 144, `hovering the slider shows a preview (${preview})`);
  await page.mouse.click(slider.x - 50, slider.y - 120, { button: "right" });
  const menu = await page.evaluate(() =>
    [...window.el.shadowRoot.querySelectorAll("[part=menu] div")].map((d) => d.textContent));
  check(JSON.stringify(menu) === JSON.stringify(["Display Mode", "Full screen (Double Click)", "Original size",
                                                  "Full of window", "Statistic", "About"]),
        `the menu's captions are the control's English ones (${menu})`);
  // The form's events, in the order a page sees them.
  const formEvents = await page.evaluate(async () => {
    const seen = [];
    const el = document.createElement("kiv-player");
    for (const name of ["OnCreate", "OnActivate", "OnDeactivate", "OnDblClick", "OnPaint", "OnDestroy"])
      el.attachEvent(name, () => seen.at(-1) !== name && seen.push(name));
    const other = document.createElement("button");
    document.body.append(el, other);
    for (let i = 0; i < 2; ++i) await new Promise(requestAnimationFrame); // layout, then its observers
    el.focus();
    other.focus();
    el.shadowRoot.querySelector("[part=frame]").dispatchEvent(new MouseEvent("dblclick", { bubbles: true }));
    el.remove();
    other.remove();
    return seen.join();
  });
  check(formEvents === "OnCreate,OnPaint,OnActivate,OnDeactivate,OnDblClick,OnDestroy",
        `the form's events: ${formEvents}`);
  // Its two dialogs: the buffer's figures (refreshed while shown) and the version.
  const dialogs = await page.evaluate(async () => {
    const root = window.el.shadowRoot;
    const text = (part) => root.querySelector(`[part=${part}]`).innerText.replace(/\s+/g, " ").trim();
    root.querySelector("[data-dialog=statistics]").click();
    const box = root.querySelector("[part=statistics]");
    while (!box.querySelector("[data-figure=Frames]").textContent) await window.sleep(20);
    root.querySelector("[data-dialog=about]").click();
    const shown = [text("statistics"), text("about")];
    box.querySelector("button").click();
    return [...shown, box.hidden];
  });
  const time = "\\d\\d:\\d\\d:\\d\\d";
  const figures = new RegExp(`^Statistic Buffer status Start: ${time} Stop: ${time} Frames: [1-9]\\d* ` +
                             "Bytes: \\d+K Speed: \\d+ Kbps Length: 00:00:20 Close$");
  check(figures.test(dialogs[0]) && /^About Corvale KivPlayer \d+\.\d+\.\d+\.\d+ OK$/.test(dialogs[1]) && dialogs[2],
        `Statistic and About show the figures and version, Close closes (${dialogs.slice(0, 2).join(" | ")})`);
  const hidden = await page.evaluate(() => {
    const el = window.make({ controls: "none" });
    return el.shadowRoot.querySelector("[part=bar]").hidden;
  });
  check(hidden, `controls="none" hides the bar`);

  // Finding the moment: markers as far as read (the engine reads ahead while it
  // waits), PageUp/PageDown, pausing on a marker, idle skipping, the activity strip.
  const wanted = execFileSync(args.kivtool, ["markers", path.join(args.root, "nav.kiv")]).toString();
  const nav = await page.evaluate(async () => {
    const el = window.make({ autostart: "false" });
    el.Open("nav.kiv");
    await window.until("OnPlayStateChanged", 1);
    while (el.MarkerCount < 5) await window.sleep(50); // the table comes as the worker reads
    el.focus();
    return el.Markers;
  });
  check(nav === wanted, `Markers lists kivtool markers' lines (${JSON.stringify(nav)})`);
  const jumps = [];
  for (const key of ["PageDown", "PageDown", "PageUp", "PageUp"]) {
    await page.keyboard.press(key);
    await page.evaluate(() => window.el.getBuffer());
    jumps.push(await page.evaluate(() => window.el.CurrentPosition));
  }
  const times = wanted.split("\n").filter(Boolean).map((l) => Number(l.split(",")[0]));
  check(JSON.stringify(jumps) === JSON.stringify([times[0], times[1], times[0], times[0]]),
        `PageDown, PageDown, PageUp (pressed again within a second), PageUp go to ${jumps}`);
  const outOfRange = ["IdleThreshold = 99", "IdleThreshold = 1e12", "IdleCap = -1"];
  const refusals = await page.evaluate((sets) => sets.map((set) => {
    try {
      eval(`window.el.${set}`);
      return "taken";
    } catch (e) {
      return e.message;
    }
  }), outOfRange);
  check(refusals.every((r) => r === "Invalid property value"), `${outOfRange.join(", ")}: ${refusals}`);
  const onMarker = await page.evaluate(async (marker) => {
    const el = window.el;
    el.PauseOnMarker = true;
    el.CurrentPosition = marker - 600;
    await el.getBuffer();
    el.Play();
    await window.until("OnPlayStateChanged", 3);
    await el.getBuffer(); // answered after the worker's "paused"
    return { marker: window.log.filter(([n]) => n === "OnMarker").map(([, d]) => d[0]), at: el.CurrentPosition };
  }, times[1]);
  check(onMarker.marker[0] === times[1] && onMarker.at >= times[1] && onMarker.at < times[1] + 500,
        `PauseOnMarker: OnMarker(${onMarker.marker}), paused at ${onMarker.at}`);
  // Unskipped, the idle stretch after the first marker alone takes more than 2.8 s to play.
  const skipped = await page.evaluate(async (from) => {
    const el = window.el;
    el.PauseOnMarker = false;
    el.shadowRoot.querySelector("[part=skip-idle-button]").click();
    el.IdleCap = 0;
    el.CurrentPosition = from;
    await el.getBuffer();
    const started = performance.now();
    el.Play();
    while (el.CurrentPosition < from + 4000) await window.sleep(20);
    el.Pause();
    return { on: el.SkipIdle, ms: performance.now() - started };
  }, times[0] - 1000);
  check(skipped.on && skipped.ms < 2800, `skip idle plays 4 s around an idle stretch in ${skipped.ms} ms`);
  const strip = await page.evaluate(() => {
    const c = window.el.shadowRoot.querySelector("[part=activity]");
    const d = c.getContext("2d").getImageData(0, 0, c.width, 1).data;
    const seen = new Set();
    for (let i = 0; i < d.length; i += 4)
      seen.add(d[i] === 255 && d[i + 1] === 220 ? "marker" : d[i] === d[i + 1] && d[i] > 0x40 ? "idle" : "");
    return [c.width, ...[...seen].filter(Boolean).sort()];
  });
  check(strip[0] > 100 && strip.includes("marker") && strip.includes("idle"),
        `the activity strip shows markers and idle stretches (${strip})`);
  const closed = await page.evaluate(() => {
    window.el.Close();
    return window.el.MarkerCount;
  });
  check(closed === 0, `Close forgets the markers (${closed} left)`);
} finally {
  await browser.close();
  rmSync(profile, { recursive: true, force: true });
}

// A browser in Chinese (China) gets the control's Chinese captions.
const zhProfile = mkdtempSync(path.join(tmpdir(), "kiv-chromium-"));
const zh = await launch(zhProfile, "zh-CN");
try {
  const page = await zh.newPage();
  await page.goto(`${args.base}/index.html`);
  await page.waitForFunction(() => window.KivPlayer);
  const menu = await page.evaluate(async () => {
    const el = document.createElement("kiv-player");
    document.body.append(el);
    const m = el.shadowRoot.querySelector("[part=menu]");
    if (!m.children.length) // filled once the engine's table and captions arrive
      await new Promise((r) => new MutationObserver(r).observe(m, { childList: true }));
    return [navigator.language, ...[...el.shadowRoot.querySelectorAll("[part=menu] div")].map((d) => d.textContent)];
  });
  check(JSON.stringify(menu) === JSON.stringify(["zh-CN", "显示模式", "全屏幕(双击鼠标左键)", "实际大小", "自适应",
                                                  "统计信息", "关于"]),
        `zh-CN gets the Chinese captions (${menu})`);
} finally {
  await zh.close();
  rmSync(zhProfile, { recursive: true, force: true });
}
if (failures.length) {
  console.log(`${failures.length} failed`);
  process.exit(1);
}
