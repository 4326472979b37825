// The browser's side of run_web_bench.sh: open to first picture, seeks, decoding,
// CPU while playing, in Debian's chromium against nginx on 127.0.0.1.
import { readFileSync, readdirSync, mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import path from "node:path";
import { createRequire } from "node:module";

// puppeteer-core is the tests' (tests/web/package.json).
const require = createRequire(new URL("../tests/web/package.json", import.meta.url));
const { default: puppeteer } = await import(require.resolve("puppeteer-core"));

const [base, big, demo, targetsText] = process.argv.slice(2);
const targets = targetsText.split(",").map(Number);
const profile = mkdtempSync(path.join(tmpdir(), "kiv-bench-chromium-"));
const browser = await puppeteer.launch({
  executablePath: "/usr/bin/chromium",
  headless: true,
  userDataDir: profile,
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"],
});

// CPU seconds of the browser and every process under it, from /proc.
function cpuSeconds(pid) {
  const procs = new Map();
  for (const p of readdirSync("/proc").filter((n) => /^\d+$/.test(n))) {
    try {
      const stat = readFileSync(`/proc/${p}/stat`, "utf8");
      const f = stat.slice(stat.lastIndexOf(")") + 2).split(" ");
      procs.set(Number(p), { ppid: Number(f[1]), cpu: (Number(f[11]) + Number(f[12])) / 100 });
    } catch (e) {
      // ended meanwhile
    }
  }
  const under = (p) => {
    for (let q = p; q > 1; q = procs.get(q)?.ppid ?? 0) if (q === pid) return true;
    return false;
  };
  let total = 0;
  for (const [p, { cpu }] of procs) if (under(p)) total += cpu;
  return total;
}

try {
  const page = await browser.newPage();
  await page.goto(`${base}/index.html`);
  await page.waitForFunction(() => window.KivPlayer);
  const make = (autostart) => page.evaluate((a) => {
    document.body.innerHTML = "";
    const el = document.createElement("kiv-player");
    el.setAttribute("style", "width:960px;height:600px");
    el.setAttribute("autostart", a);
    document.body.append(el);
    window.el = el;
    window.state = (s) => new Promise((r) => {
      const f = (e) => { if (e.detail[0] === s) { el.removeEventListener("OnPlayStateChanged", f); r(); } };
      el.addEventListener("OnPlayStateChanged", f);
    });
  }, autostart);

  // A first open warms the engine's download and compilation, as a second page view would.
  await make("true");
  await page.evaluate(async (u) => { window.el.Open(u); await window.el.nextPaint(); }, big);
  const opens = [];
  for (let i = 0; i < 5; ++i) {
    await make("true");
    opens.push(await page.evaluate(async (u) => {
      const painted = window.el.nextPaint();
      const t0 = performance.now();
      window.el.Open(u);
      await painted;
      const ms = performance.now() - t0;
      window.el.Pause();
      const b = await window.el.getBuffer();
      return { ms, bytes: b.bytes };
    }, big));
  }
  opens.sort((a, b) => a.ms - b.ms);
  console.log(`browser open to first picture: median ${opens[2].ms.toFixed(1)} ms, ` +
              `bytes read before it ${opens[2].bytes}`);

  await make("false");
  const seeks = await page.evaluate(async (u, ts) => {
    window.el.Open(u);
    await window.state(1);
    const out = [];
    for (const t of ts) {
      const t0 = performance.now();
      window.el.CurrentPosition = t;
      await window.el.getBuffer(); // answered once the seek's picture is drawn
      out.push(performance.now() - t0);
    }
    return out;
  }, big, targets);
  console.log(`browser seek: ${seeks.map((s) => s.toFixed(0)).join(" ")} ms`);
  const sorted = [...seeks].sort((a, b) => a - b);
  console.log(`browser seek median ${sorted[10].toFixed(1)} ms, max ${sorted[19].toFixed(1)} ms`);

  const decoded = await page.evaluate((u) => window.el.decodeAll(u), demo);
  console.log(`browser decoding of every payload: ${decoded.payloads} payloads, ` +
              `${(decoded.bytes / 1e6).toFixed(1)} MB in ${decoded.ms.toFixed(0)} ms`);

  await make("false");
  await page.evaluate(async (u) => { window.el.Open(u); await window.state(1); }, demo);
  const pid = browser.process().pid;
  const before = cpuSeconds(pid);
  const t0 = Date.now();
  await page.evaluate(async () => {
    window.el.Play();
    await new Promise((r) => setTimeout(r, 30000));
    window.el.Pause();
  });
  const cpu = cpuSeconds(pid) - before;
  console.log(`browser CPU playing the demo at 1x: ${cpu.toFixed(2)} s over ${((Date.now() - t0) / 1000).toFixed(1)} s`);
} finally {
  await browser.close();
  rmSync(profile, { recursive: true, force: true });
}
