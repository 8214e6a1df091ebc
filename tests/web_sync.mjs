// How far the page's scene changes lie from the music heard: the folder edition of each
// site given, played whole in Chromium as a visitor plays it (a click through the X server)
// into a private PulseAudio null sink whose monitor is recorded. The site's own libopenmpt.wasm
// renders the module in node (its music-engine.js); the recording around each "scene N"
// console line is found in that rendering, and the moment heard then set against the nearest
// order start (scenes change where orders start). Prints, per scene and in all, the report's
// lead (-) or lag (+) in milliseconds. Measures only: it asserts nothing, and wants a quiet
// machine. Sites are played in turn, so a site before a change and one after it compare
// under the same conditions. WEB_SYNC_KEEP=DIR keeps each recording there (SITE.f32, mono
// float frames at 44100 Hz) with the reports and the recording's arrivals (SITE.json).
//   xvfb-run -a -s "-screen 0 1024x768x24" node tests/web_sync.mjs SITE_FOLDER...
import {spawn} from 'node:child_process'
import fs from 'node:fs'
import http from 'node:http'
import os from 'node:os'
import path from 'node:path'
import {openPlain, startPulse} from './web_browsers.mjs'

const rate = 44100, sleep = ms => new Promise(done => setTimeout(done, ms))
const sites = process.argv.slice(2)
if (!sites.length || sites.some(site => !fs.existsSync(site + '/index.html'))) {
    console.error('usage: node tests/web_sync.mjs SITE_FOLDER... (each a build-web folder, under an X display)')
    process.exit(2)
}

// The whole module as the page plays it (the site's own engine), mono, and the second at
// which each order starts.
async function reference(site) {
    const copy = fs.mkdtempSync(os.tmpdir() + '/cubic-harmony-sync-') + '/music-engine.mjs'
    fs.copyFileSync(site + '/music-engine.js', copy)
    const {musicEngine} = await import(copy)
    fs.rmSync(path.dirname(copy), {recursive: true})
    const engine = await musicEngine(fs.readFileSync(site + '/libopenmpt.wasm'))
    const module = fs.readFileSync(site + '/zap_wave.it')
    const starts = []
    engine.load(module, false)
    for (let order = 0; order < 256; order++) {
        const at = engine.orderStart(order)
        if (order && at <= starts[starts.length - 1]) break
        starts.push(at)
    }
    if (!engine.load(module, false)) throw new Error(`${site}: libopenmpt.wasm cannot read zap_wave.it`)
    const blocks = []
    for (let got; (got = engine.render(4096, rate)).length;) blocks.push(Float32Array.from({length: got.length / 2}, (_, i) => got[2 * i] + got[2 * i + 1]))
    engine.free()
    const mono = new Float32Array(blocks.reduce((n, b) => n + b.length, 0))
    blocks.reduce((at, b) => { mono.set(b, at); return at + b.length }, 0)
    return {mono, starts}
}

// Energy in blocks of step frames.
function envelope(mono, step) {
    const out = new Float32Array(Math.floor(mono.length / step))
    for (let i = 0; i < out.length; i++) { let sum = 0; for (let j = i * step; j < (i + 1) * step; j++) sum += mono[j] * mono[j]; out[i] = Math.sqrt(sum) }
    return out
}

// The lag (blocks into within) in from..to at which wanted[at..at+length] matches best by
// normalised cross-correlation (louder passages elsewhere do not win), and how well (1: exactly).
function bestLag(within, wanted, at, from, to, length) {
    let best = {lag: from, score: -Infinity}, wantedNorm = 1e-9
    for (let i = 0; i < length; i++) wantedNorm += wanted[at + i] * wanted[at + i]
    for (let lag = Math.max(0, from); lag <= to && lag + length <= within.length; lag++) {
        let dot = 0, norm = 1e-9
        for (let i = 0; i < length; i++) { dot += within[lag + i] * wanted[at + i]; norm += within[lag + i] * within[lag + i] }
        const score = dot / Math.sqrt(norm * wantedNorm)
        if (score > best.score) best = {lag, score}
    }
    return best
}

async function measure(site, ref) {
    const dir = fs.mkdtempSync(os.tmpdir() + '/cubic-harmony-sync-')
    const server = http.createServer((request, response) => {
        const file = site + new URL(request.url, 'http://x').pathname.replace(/\/$/, '/index.html')
        const type = {html: 'text/html', js: 'text/javascript', wasm: 'application/wasm'}[file.split('.').pop()] || 'application/octet-stream'
        fs.readFile(file, (error, bytes) => { response.writeHead(error ? 404 : 200, {'Content-Type': type}); response.end(error ? '' : bytes) })
    })
    await new Promise(done => server.listen(0, '127.0.0.1', done))
    const pulse = await startPulse(dir), env = {XDG_RUNTIME_DIR: dir}
    // The recording, with the wall time at which each stretch of it arrived.
    const recorder = spawn('parec', ['--device=out.monitor', '--raw', '--format=s16le', '--channels=2', `--rate=${rate}`, '--latency-msec=10'],
                           {env: {...process.env, ...env}, stdio: ['ignore', 'pipe', 'ignore']})
    const chunks = [], arrivals = []
    let bytes = 0
    recorder.stdout.on('data', chunk => { chunks.push(chunk); bytes += chunk.length; arrivals.push({frames: bytes / 4, at: Date.now()}) })
    const browser = await openPlain('chromium', `http://127.0.0.1:${server.address().port}/index.html`, env)
    const reports = []
    try {
        if (!await browser.line(/cubic-harmony: start screen/, 60)) throw new Error(`${site}: no start screen`)
        await sleep(500)
        await browser.click()
        if (!await browser.line(/cubic-harmony: end screen/, ref.starts[ref.starts.length - 1] + 60)) throw new Error(`${site}: no end screen`)
        for (const line of browser.lines) {
            const scene = /cubic-harmony: scene (\d+)/.exec(line.text)
            if (scene) reports.push({scene: +scene[1], at: line.at})
        }
    } finally {
        await browser.close()
        recorder.kill()
        pulse.kill()
        server.close()
        fs.rmSync(dir, {recursive: true, force: true})
    }

    const all = Buffer.concat(chunks), recorded = new Float32Array(all.length >> 2)
    for (let i = 0; i < recorded.length; i++) recorded[i] = all.readInt16LE(4 * i) + all.readInt16LE(4 * i + 2)
    const keep = process.env.WEB_SYNC_KEEP && `${process.env.WEB_SYNC_KEEP}/${path.basename(path.resolve(site))}`
    if (keep) { fs.writeFileSync(keep + '.json', JSON.stringify({arrivals, reports})); fs.writeFileSync(keep + '.f32', recorded) }
    return align(ref, recorded, arrivals, reports)
}

// The frame of the recording heard at wall time at. A stretch arrives after it was heard,
// never before, so each arrival in the second after at bounds that frame from below, and
// the largest bound is the closest. Only arrivals near at count: under load the recorder
// may lose a stretch, and every frame after it then arrives under a smaller count.
function frameHeardAt(arrivals, at) {
    const after = arrivals.filter(a => a.at >= at), near = after.filter(a => a.at <= Math.max(at + 1000, after[0].at))
    return Math.round(Math.max(...near.map(a => a.frames - (a.at - at) / 1000 * rate)))
}

// Which of the module's moments was heard when each scene was reported: the 4 s of the
// recording around the report are looked for in the module, in envelopes of 10 ms, then of
// 1 ms within 20 ms of that. First in the whole module; as a passage may sound again
// elsewhere, then again within 3 s of where the reports' median puts it (the moment heard
// less the time since the first report, which under load drifts by a few seconds over the
// whole play at most). Each report is set against the order start nearest its moment.
function align(ref, recorded, arrivals, reports) {
    const around = 2 // seconds either side of a report
    const module = {441: envelope(ref.mono, 441), 44: envelope(ref.mono, 44)}
    const find = (at, near) => {
        const frame = frameHeardAt(arrivals, at) - around * rate
        const heard = recorded.subarray(Math.max(0, frame), frame + 2 * around * rate)
        let found = {lag: 0}
        for (const step of [441, 44]) {
            const wanted = envelope(heard, step), centre = Math.round(((near ?? 0) - around) * rate / step)
            const [from, to] = step === 44 ? [Math.round(found.lag * 441 / step) - 20, Math.round(found.lag * 441 / step) + 20]
                             : near === undefined ? [0, module[step].length] : [centre - 300, centre + 300]
            found = bestLag(module[step], wanted, 0, from, to, wanted.length)
        }
        return {second: (found.lag * 44 + Math.min(0, frame)) / rate + around, score: found.score}
    }
    const since = at => (at - reports[0].at) / 1000
    const first = reports.map(r => find(r.at).second - since(r.at)).sort((x, y) => x - y)
    const drift = first[first.length >> 1]
    return reports.map(({scene, at}) => {
        const {second, score} = find(at, since(at) + drift)
        const order = ref.starts.reduce((best, s, o) => Math.abs(s - second) < Math.abs(ref.starts[best] - second) ? o : best, 0)
        return {scene, order, offset: (second - ref.starts[order]) * 1000, score}
    })
}

for (const site of sites) {
    const ref = await reference(site)
    const rows = await measure(site, ref)
    // Scene 0 starts with the click, not at an order. A match below 0.85 is no match: the
    // recording around the report was garbled by a late stretch, or sounds like another place.
    for (const r of rows) r.counted = r.scene > 0 && r.score >= 0.85
    const offsets = rows.filter(r => r.counted).map(r => r.offset)
    console.log(`${path.resolve(site)}: ` + rows.filter(r => r.scene > 0).map(r => `scene ${r.scene} (order ${r.order}, ` +
                `match ${r.score.toFixed(2)}${r.counted ? '' : ', not counted'}) ${r.offset >= 0 ? '+' : ''}${r.offset.toFixed(0)} ms`).join(', '))
    const mean = offsets.reduce((a, b) => a + b, 0) / offsets.length
    console.log(`${path.resolve(site)}: ${offsets.length} scene changes against the order heard: mean ${mean.toFixed(1)} ms, ` +
                `largest ${Math.max(...offsets.map(Math.abs)).toFixed(0)} ms from it`)
}
