// The page's music against the desktop's, sample for sample: the whole module rendered by the
// page's engine (build-web/libopenmpt.wasm through build-web/music-engine.js, run by node as
// the worklet runs it, in render quanta of 128 frames, here at 44100 Hz) and by the desktop's
// player layer (music-wav, Debian's libopenmpt of the same version), neither with dither.
// Identical, or where the two compilers' floating point differ, within one step of 16 bits.
//   node web_music_test.mjs BUILD_DIR SOURCE_DIR   FAIL: lines and exit status 1 on a miss
import {execFileSync} from 'node:child_process'
import fs from 'node:fs'
import os from 'node:os'

const rate = 44100, quantum = 128
const songSeconds = 149.76 // 40 orders, the last two of 16 rows: where the module ends
let failures = 0, fail = what => { console.log('FAIL: ' + what); failures++ }

const [build, source] = process.argv.slice(2).map(folder => fs.realpathSync(folder))
const site = source + '/build-web'
if (!fs.existsSync(site + '/libopenmpt.wasm')) { fail(`${site} is missing: scripts/web builds it`); process.exit(1) }
const work = fs.mkdtempSync(os.tmpdir() + '/cubic-harmony-music-')
try {
    // The engine's script is a module; node takes a file for one by its name.
    fs.copyFileSync(site + '/music-engine.js', work + '/music-engine.mjs')
    const {musicEngine} = await import(work + '/music-engine.mjs')
    // music-wav plays the module, looping as the demo does, until it wraps back to its start.
    execFileSync(build + '/music-wav', ['--in', site + '/zap_wave.it', '--out', work + '/desktop.wav',
                                        '--end-order', '999'], {stdio: 'ignore'})
    const wav = fs.readFileSync(work + '/desktop.wav')
    const data = wav.indexOf('data') + 8
    const desktop = new Int16Array(wav.buffer.slice(wav.byteOffset + data, wav.byteOffset + wav.length))

    // The page's engine, looping too, as many frames.
    const engine = await musicEngine(fs.readFileSync(site + '/libopenmpt.wasm'))
    if (!engine.load(fs.readFileSync(site + '/zap_wave.it'), true)) throw new Error('the page\'s engine cannot read zap_wave.it')
    const page = new Int16Array(desktop.length)
    for (let at = 0, block; at < page.length && (block = engine.render(quantum, rate)).length; at += block.length)
        page.set(block.subarray(0, page.length - at), at)

    const frames = desktop.length / 2
    let largest = 0, at = 0, differing = 0
    for (let i = 0; i < page.length && i < desktop.length; i++) {
        const difference = Math.abs(page[i] - desktop[i])
        if (difference) differing++
        if (difference > largest) { largest = difference; at = i }
    }
    console.log(`${(frames / rate).toFixed(2)} s of the module, to its wrap back to the start:` +
                (largest ? ` ${differing} of ${page.length} samples differ, by at most ${largest}` +
                           ` (frame ${at >> 1}, ${(at / 2 / rate).toFixed(3)} s)` : ' every sample is the same'))
    if (!(frames / rate >= songSeconds)) fail(`music-wav rendered ${frames / rate} s of a module of ${songSeconds} s`)
    if (largest > 1) fail(`the page's samples differ from the desktop's by up to ${largest}`)
} catch (error) { fail(error.stack) } finally {
    fs.rmSync(work, {recursive: true, force: true})
}
console.log(failures ? `${failures} failures` : 'PASS')
process.exit(failures ? 1 : 0)
