// The browser edition in Chromium, Firefox and WebKit: frame mode against the native frame tool,
// a fast module played to the end screen after a real click, the one-file edition from file://,
// and the ways the page must not leave a visitor at a dead screen.
//   node web_test.mjs BUILD_DIR SOURCE_DIR   the test: FAIL: lines and exit status 1 on a miss
//   node web_test.mjs bench BASE N...        the bench figures of scenes N of a served build-web
// WebGL goes through Mesa's llvmpipe (an X display) so that frames match the native ones;
// WEB_RENDERER=swiftshader picks Chromium's own renderer, CHROMIUM another Chromium.
import {execFile, spawn} from 'node:child_process'
import {randomBytes} from 'node:crypto'
import fs from 'node:fs'
import http from 'node:http'
import os from 'node:os'
import {openEngine, startPulse} from './web_browsers.mjs'
import {cpuFrames, plainChromiumPlays} from './web_cpu.mjs'

const drawn = () => document.title === 'ready' || document.title.startsWith('error') // frame and bench modes
const told = () => document.querySelector('#screen > p:only-child') // the one sentence of a problem
const ended = () => document.querySelector('#screen > p:only-child, #screen > button:not(.silent)') // or "play again"
const startShown = () => !!document.querySelector('#screen:not([hidden]) h1')
const offered = () => document.querySelector('#screen button.silent') // "play without sound"
const shownText = () => document.getElementById('screen').hidden ? '' : document.getElementById('screen').textContent
// What a program printed, whatever its exit status (compare exits 1 when pictures differ).
const tool = (file, ...args) => new Promise(done => execFile(file, args, (error, out, err) => done((out + err).trim())))
const read = file => { try { return fs.readFileSync(file) } catch { return null } }
const sleep = ms => new Promise(done => setTimeout(done, ms))
const seconds = since => ((Date.now() - since) / 1000).toFixed(1) + ' s'
let failures = 0, fail = what => { console.log('FAIL: ' + what); failures++ }

const [first, second, ...benchScenes] = process.argv.slice(2)
if (first === 'bench') {
    const engine = await openEngine('chromium')
    for (const scene of benchScenes) await (await openEngineTab(engine, `${second}index.html?bench=${scene}`)).until(drawn, 120)
    await engine.close()
    process.exit(0)
}
async function openEngineTab(engine, url) { return engine.open(url, {push: console.log}) }

const build = fs.realpathSync(first), source = fs.realpathSync(second), site = source + '/build-web'
if (!fs.existsSync(site + '/cubic-harmony.wasm')) { fail(`${site} is missing: scripts/web builds it`); process.exit(1) }
const work = fs.mkdtempSync(os.tmpdir() + '/cubic-harmony-web-')
const server = http.createServer(), requested = []
const engines = [], started = Date.now()
let pulse = null, pulseDir = null

// The canvas as the page kept it (frame mode keeps its drawing buffer), written as a PNG.
async function picture(tab, file) {
    const url = await tab.run(() => document.getElementById('canvas').toDataURL('image/png'))
    fs.writeFileSync(file, Buffer.from(url.split(',')[1], 'base64'))
}
// Pixels of two pictures that differ by more than 1 %, or the words compare said instead.
const differing = (a, b) => tool('compare', '-metric', 'AE', '-fuzz', '1%', a, b, 'null:')

try {
    // Every scene at three moments, the gallery's among them; the other engines draw a few of
    // them. The native frame tool replays each moment through GL: two run while browsers work.
    // A moment marked retro is drawn at 640x480 in a 1280x960 canvas and enlarged by the
    // present step, which the page shares with the desktop.
    const moments = `0:500 0:5000 0:14000 1:500 1:3000 1:9000 2:1800 2:7000 2:14000 3:800 3:2400 3:12000
                     4:3000 4:8000 4:15000 5:1500 5:6000 5:13000 6:2000 6:10000 6:15000 7:1000 7:5000 7:14500
                     8:3000 8:12000 8:17000 6:6000:retro`.split(/\s+/)
    const shot = (side, moment) => `${work}/${side}-${moment.replaceAll(':', '-')}.png`, lanes = [null, null]
    const retro = moment => moment.endsWith(':retro')
    const query = m => `?scene=${m.split(':')[0]}&time=${m.split(':')[1]}` + (retro(m) ? '&size=1280x960&retro=1' : '')
    const native = Object.fromEntries(moments.map((m, i) => [m, lanes[i % 2] = Promise.resolve(lanes[i % 2]).then(() =>
        tool(build + '/cubic-harmony-frame', '--scene', m.split(':')[0], '--time', m.split(':')[1],
             '--out', shot('native', m), '--data', build, ...(retro(m) ? ['--size', '1280x960', '--retro'] : [])))]))
    // Two modules of one-row to five-row orders made by our own tool: fast (tempo 255, a scene
    // change every 40 ms) and timed (0.1 s a row, orders of 1, 2 and 5 rows, so scene changes are uneven).
    const make = async (name, speed, tempo, rows) => {
        const dir = `${work}/${name}`
        fs.mkdirSync(dir)
        fs.writeFileSync(dir + '/song.txt', `title ${name}\nspeed ${speed}\ntempo ${tempo}\nchannel beep 32 64\n` +
                         rows.map((n, i) => `order ${i} beep${n}\n`).join(''))
        fs.writeFileSync(dir + '/instruments.txt', '[01 beep]\nosc = sine\nlength = 0.05\n')
        fs.writeFileSync(dir + '/beep.pat', [...new Set(rows)].map(n => `pattern beep${n}\ncolumns beep\n00 | C-5 01 .. ...\n` +
                         Array.from({length: n - 1}, (_, r) => `${String(r + 1).padStart(2, '0')} | ... .. .. ...\n`).join('')).join(''))
        await tool(build + '/make-module', '--dir', dir, '--out', `${work}/${name}.it`)
        return read(`${work}/${name}.it`) || fail('make-module ' + name)
    }
    const timedRows = Array.from({length: 40}, (_, i) => [1, 2, 5][i % 3])
    // build-web as it is, and folders beside it in which one file differs (null: missing).
    const changed = {'/fast.it': await make('fast', 1, 255, Array(40).fill(1)), '/timed.it': await make('timed', 2, 50, timedRows),
                     '/nofont/fontpre.tga': null, '/nomodule/zap_wave.it': null, '/badmodule/zap_wave.it': randomBytes(5000),
                     '/badfont/fontpre.tga': read(build + '/fontpre.tga').subarray(0, 700), '/noworklet/chiptune3.worklet.js': null}
    const types = {html: 'text/html', js: 'text/javascript', wasm: 'application/wasm'}
    server.on('request', (request, response) => {
        const path = new URL(request.url, 'http://x').pathname.replace(/\/$/, '/index.html')
        requested.push(path)
        const plain = path.replace(/^\/\w+\//, '/') // a folder beside build-web: its own file, or build-web's
        const bytes = path in changed ? changed[path] : plain in changed ? changed[plain] : read(site + plain)
        response.writeHead(bytes ? 200 : 404, {'Content-Type': types[path.split('.').pop()] || 'application/octet-stream'})
        response.end(bytes)
    })
    await new Promise(done => server.listen(0, '127.0.0.1', done))
    const base = `http://127.0.0.1:${server.address().port}/`
    const oneFile = 'file://' + site + '/cubic-harmony.html'
    if (!fs.existsSync(site + '/cubic-harmony.html')) fail('build-web/cubic-harmony.html is missing')
    // The scene table's end orders, read from the sequencer's source, for the silent clock's times.
    const endOrders = [...fs.readFileSync(source + '/shell/sequencer.cpp', 'utf8').matchAll(/^\s*\{\w+,\s*(\d+)\},/gm)]
                      .map(m => +m[1]).filter(order => order > 0)
    const orderStart = order => timedRows.slice(0, order).reduce((sum, n) => sum + n, 0) * 0.1 * 1000 // ms

    // A private sound server for Firefox and WebKit; a Firefox told of a server that is not there.
    pulseDir = fs.mkdtempSync(os.tmpdir() + '/cubic-harmony-pulse-')
    pulse = await startPulse(pulseDir)
    const withSound = {XDG_RUNTIME_DIR: pulseDir}
    const noSound = {XDG_RUNTIME_DIR: work, PULSE_SERVER: `unix:${work}/no-server`}

    // A frame held to the native one: at most 307 pixels (0.1 %) differ by more than 1 %.
    async function checkFrame(engine, url, moment, label) {
        const tab = await engine.open(url)
        const ready = await tab.until(drawn, 60), title = await tab.run(() => document.title)
        const file = shot(engine.name + label, moment)
        ready && title === 'ready' ? await picture(tab, file) : fail(`${engine.name} ${label} ${moment}: ${title}`)
        await tab.close()
        await native[moment]
        const differ = await differing(file, shot('native', moment))
        const blocks = retro(moment) ? 4 : 1 // a retro pixel is a block of 2 x 2
        console.log(`${engine.name}: ${label} ${moment}: ${differ} of ${blocks * 307200} pixels differ by more than 1 %`)
        if (!/^\d+$/.test(differ)) fail(`${engine.name} ${label} ${moment}: no comparison (${differ})`)
        else if (+differ > blocks * 307) fail(`${engine.name} ${label} ${moment}: ${differ} pixels differ`)
    }

    // A real click on the start screen: the page plays every scene in order to its end screen.
    async function clickAndPlay(engine, url, label) {
        const tab = await engine.open(url)
        if (!await tab.until(startShown, 30)) fail(`${engine.name} ${label}: no start screen`)
        const clicked = Date.now()
        await tab.click('#screen')
        const done = await tab.until(ended, 30)
        const seen = (await tab.run(() => cubicPage.scenes)).join()
        const end = await tab.run(() => !!document.querySelector('#screen > button:not(.silent)'))
        console.log(`${engine.name}: ${label}: scenes ${seen}${end ? ', end screen' : ''} ${seconds(clicked)} after the click` +
                    (done && end ? '' : ` (the page says: ${await tab.run(shownText)})`))
        if (seen !== '0,1,2,3,4,5,6,7,8' || !end) fail(`${engine.name} ${label}: not every scene in order to the end screen`)
        await tab.close()
    }

    // The one-file edition from file://: a frame, then a click that starts the music.
    async function oneFileStarts(engine) {
        await checkFrame(engine, oneFile + '?scene=2&time=1800', '2:1800', 'one-file')
        if (engine.name === 'firefox') return // below, without BiDi
        const tab = await engine.open(oneFile)
        if (!await tab.until(startShown, 30)) fail(`${engine.name} one-file: no start screen`)
        const clicked = Date.now()
        await tab.click('#screen')
        const playing = await tab.until(() => cubicPage.scenes.length > 0 || document.querySelector('#screen > p:first-child'), 10)
        const said = await tab.run(() => cubicPage.scenes.length ? 'scene 0 playing' : document.getElementById('screen').textContent)
        console.log(`${engine.name}: one-file from file://: ${said} ${seconds(clicked)} after the click`)
        if (!playing || said !== 'scene 0 playing') fail(`${engine.name} one-file: the music did not start from file://`)
        await tab.close()
    }

    const few = ['2:1800', '6:2000', '8:12000']
    for (const [name, env, frames] of [['chromium', {}, moments], ['firefox', withSound, few], ['webkit', withSound, few]]) {
        const since = Date.now()
        const engine = await openEngine(name, {env})
        engines.push(engine)
        console.log(`${name}: ${engine.version}`)
        for (const m of frames) await checkFrame(engine, base + query(m), m, 'frame')
        await cpuFrames(engine, m => base + query(m), frames, checkFrame, fail)
        await clickAndPlay(engine, base + '?module=fast.it', 'fast module')
        if (name === 'chromium') await chromiumOnly(engine, base, clickAndPlay)
        // Firefox, like a visitor's browser, mostly starts no sound before a click (headless Chromium does).
        if (name === 'firefox') await silentOffer(engine, base + '?autostart=1&module=fast.it', 'did not start', false)
        await oneFileStarts(engine)
        await engine.close()
        engines.pop()
        if (name === 'firefox') await firefoxPlaysFile(pulseDir)
        if (name === 'chromium') await plainChromiumPlays(base + '?module=fast.it', withSound, work, fail)
        console.log(`${name}: ${seconds(since)} in all`)
    }

    // No sound output: Firefox with no sound server keeps its audio suspended. Within 3 s of
    // the click the page says so and offers the silent play, whose scenes change where the
    // module's orders would change them.
    {
        const since = Date.now()
        const engine = await openEngine('firefox', {env: noSound})
        engines.push(engine)
        const tab = await engine.open(base + '?module=timed.it')
        await tab.until(startShown, 30)
        const clicked = Date.now()
        await tab.click('#screen')
        const said = await tab.until(offered, 3), saidAfter = seconds(clicked), sentence = await tab.run(shownText)
        console.log(`firefox without a sound server: "${sentence}" ${saidAfter} after the click`)
        if (!said || !/^No sound: .*\.play without sound$/.test(sentence)) fail('no sentence and silent play without sound output')
        else {
            await tab.click('#screen button.silent')
            await tab.until(ended, 30)
            const [scenes, times, end] = await tab.run(() => [cubicPage.scenes, cubicPage.sceneTimes,
                                                             !!document.querySelector('#screen > button:not(.silent)')])
            const late = scenes.slice(1).map((scene, i) => Math.round(times[i + 1] - times[0] - orderStart(endOrders[scene - 1])))
            console.log(`firefox silent play: scenes ${scenes.join()}${end ? ', end screen' : ''}; each change this many ms` +
                        ` after its order's start: ${late.join(' ')}`)
            if (scenes.join() !== '0,1,2,3,4,5,6,7,8' || !end) fail('the silent play did not reach the end screen')
            if (late.some(ms => ms < -40 || ms > 120)) fail('the silent play changed scenes away from the orders\' times')
        }
        await tab.close()
        await engine.close()
        engines.pop()
        console.log(`firefox without a sound server: ${seconds(since)} in all`)
    }
    if (requested.some(path => path.endsWith('favicon.ico'))) fail('the page asked for /favicon.ico')
} catch (error) { fail(error.stack) } finally {
    await Promise.all(engines.map(engine => engine.close().catch(() => {})))
    if (pulse) { pulse.kill(); await new Promise(done => pulse.exitCode !== null ? done() : pulse.on('exit', done)) }
    if (pulseDir) fs.rmSync(pulseDir, {recursive: true, force: true})
    server.close()
    fs.rmSync(work, {recursive: true, force: true})
}

// The one-file edition's music from file:// in Firefox, heard by the sound server: a plain
// Firefox (no BiDi, whose script calls stall while the inlined worklet loads) with autoplay
// allowed in its profile opens the file with ?autostart=1, and a stream must reach the sink.
async function firefoxPlaysFile(pulseDir) {
    const profile = fs.mkdtempSync(os.tmpdir() + '/cubic-harmony-firefox-'), since = Date.now()
    fs.writeFileSync(profile + '/user.js', 'user_pref("media.autoplay.default", 0);\nuser_pref("media.autoplay.blocking_policy", 0);\n')
    const env = {...process.env, XDG_RUNTIME_DIR: pulseDir}
    const firefox = spawn('firefox-esr', ['--headless', '--no-remote', '--profile', profile,
                          'file://' + site + '/cubic-harmony.html?autostart=1'], {env, stdio: 'ignore'})
    let streams = ''
    for (const end = Date.now() + 15000; !streams && Date.now() < end; await sleep(200))
        streams = await new Promise(done => execFile('pactl', ['list', 'short', 'sink-inputs'], {env}, (e, out) => done(out.trim())))
    console.log(`firefox: one-file from file://: ${streams ? 'a stream reached the sound server' : 'no sound'} ${seconds(since)} after opening`)
    if (!streams) fail('firefox one-file: no sound from file://')
    firefox.kill()
    await new Promise(done => firefox.exitCode !== null ? done() : firefox.on('exit', done))
    fs.rmSync(profile, {recursive: true, force: true})
}

// Sound that cannot start: within 3 s of the click (or of the load, unclicked) one sentence
// with these words, and "play without sound" plays every scene. Unclicked, a browser may
// still let the sound start (Firefox did once in about fifteen runs here): then the page
// must simply play every scene, with no offer.
async function silentOffer(engine, url, words, click) {
    const tab = await engine.open(url)
    if (click) { await tab.until(startShown, 30); await tab.click('#screen') }
    const since = Date.now(), said = await tab.until(offered, 3), after = seconds(since), sentence = await tab.run(shownText)
    let seen = ''
    if (!said && !click && await tab.until(ended, 20) && !await tab.run(offered)) {
        seen = (await tab.run(() => cubicPage.scenes)).join()
        console.log(`${engine.name}: ${url}: the browser let the sound start unclicked; scenes ${seen}`)
        if (seen !== '0,1,2,3,4,5,6,7,8') fail(`${engine.name} ${url}: the play did not play every scene`)
        await tab.close()
        return
    }
    if (said) {
        await tab.click('#screen button.silent')
        await tab.until(ended, 20)
        seen = (await tab.run(() => cubicPage.scenes)).join()
    }
    console.log(`${engine.name}: ${url}: "${sentence}" after ${after}; without sound: scenes ${seen}`)
    if (!said || !sentence.includes(words)) fail(`${engine.name} ${url}: no sentence with "${words}" and offer`)
    if (seen !== '0,1,2,3,4,5,6,7,8') fail(`${engine.name} ${url}: the silent play did not play every scene`)
    await tab.close()
}

// Chromium alone: the sentences of missing assets, starts that cannot make sound, keys on the
// start screen, a lost WebGL context, and play-again held to the first play.
async function chromiumOnly(engine, base, clickAndPlay) {
    const bare = await openEngine('chromium', {flags: ['--disable-webgl', '--disable-3d-apis']})
    engines.push(bare)
    // A missing or broken asset: one sentence naming it, on the page and in the console.
    for (const [where, words, browser = engine] of [['nofont/', 'fontpre.tga is missing'], ['nomodule/', 'zap_wave.it is missing'],
            ['badmodule/', 'zap_wave.it is broken'], ['badfont/', 'fontpre.tga: too short'],
            ['nofont/?scene=1&time=0', 'fontpre.tga is missing']]) {
        const lines = [], tab = await browser.open(base + where.split(' ')[0], lines)
        await tab.until(told, 20)
        const shown = await tab.run(shownText)
        console.log(`chromium: ${where}: ${shown}`)
        if (!shown.includes(words)) fail(`${where}: no sentence with "${words}"`)
        if (!lines.some(line => line.includes(words))) fail(`${where}: the console does not say "${words}"`)
        await tab.close()
    }
    await clickAndPlay(bare, base + '?module=fast.it', 'without WebGL, on the processor')
    await bare.close()
    engines.splice(engines.indexOf(bare), 1)

    // A worklet that is not there (chiptune3 only logs that): the sentence, then the silent play.
    await silentOffer(engine, base + 'noworklet/?module=fast.it', 'did not load', true)

    // Keys on the start screen: the browser's shortcuts are left to it; a plain key starts.
    {
        const tab = await engine.open(base + '?module=fast.it')
        await tab.until(startShown, 30)
        const keys = [['F5', {}], ['F11', {}], ['r', {ctrlKey: true}], ['ArrowLeft', {altKey: true}], ['c', {metaKey: true}], ['x', {}]]
        const answers = await tab.run(keys => keys.map(([key, mods]) => {
            const prevented = !window.dispatchEvent(new KeyboardEvent('keydown', {key, ...mods, cancelable: true, bubbles: true}))
            return `${key}${Object.keys(mods).join('+') ? ' with ' + Object.keys(mods).join('+') : ''}: ` +
                   (prevented ? 'taken' : 'left to the browser') + (cubicPage.scenes.length || !document.querySelector('#screen h1') ?
                   ', started' : '')
        }), keys)
        console.log('chromium: keys on the start screen: ' + answers.join('; '))
        if (answers.slice(0, -1).some(answer => !answer.endsWith('left to the browser'))) fail('a browser shortcut was taken')
        if (!/^x: taken/.test(answers.at(-1))) fail('a plain key did not start the demo')
        await tab.close()
    }

    // A lost WebGL context during play: the music and scenes go on; given back, the canvas draws
    // again; lost again and not given back, after 3 s the page draws on the processor instead.
    {
        const lines = [], tab = await engine.open(base + '?module=timed.it', lines)
        await tab.until(startShown, 30)
        await tab.click('#screen')
        await tab.until(() => cubicPage.scenes.length >= 2, 10)
        const lose = () => tab.run(() => {
            window.lose = document.getElementById('canvas').getContext('webgl').getExtension('WEBGL_lose_context')
            lose.loseContext()
            return cubicPage.scenes.length
        })
        const litPixels = async file => { await tab.screenshot(file)
            return +await tool('convert', file, '-threshold', '2%', '-format', '%[fx:round(mean*w*h)]', 'info:') }
        const before = await lose()
        await sleep(500)
        const dark = await litPixels(work + '/lost.png')
        await tab.run(() => lose.restoreContext())
        await sleep(500)
        const restored = await litPixels(work + '/restored.png'), lostAgain = await lose()
        const moved = await tab.until(() => document.getElementById('canvas').getContext('2d'), 6)
        await sleep(500)
        const [onCpu, after, noticed] = [await litPixels(work + '/on-cpu.png'), await tab.run(() => cubicPage.scenes.length),
                                         await tab.run(() => !document.getElementById('notice').hidden)]
        console.log(`chromium: lost context: lit pixels ${dark} while lost, ${restored} after restore; lost again at scene` +
                    ` ${lostAgain}: ${lines.find(line => line.includes('WebGL was lost')) || 'no line'}, lit pixels ${onCpu},` +
                    ` scenes ${before} -> ${after}${noticed ? ', a line under the picture' : ''}`)
        if (!(restored > 1000)) fail('a lost context: the canvas did not draw again once given back')
        if (!moved || !(onCpu > 1000) || after <= lostAgain || noticed) fail('a lost context: not drawn on the processor')
        await tab.close()
    }

    // Play again is the first play: frames of the second of two plays on a stepped clock equal the first's.
    for (const m of ['0:1500', '3:2400', '5:3000', '6:3000']) {
        const [scene, time] = m.split(':'), files = []
        for (const plays of [1, 2]) {
            const tab = await engine.open(`${base}?scene=${scene}&time=${time}&fps=30&plays=${plays}`)
            await tab.until(drawn, 60)
            files.push(`${work}/play${plays}-${scene}.png`)
            await picture(tab, files.at(-1))
            await tab.close()
        }
        const differ = await differing(...files)
        console.log(`chromium: play again, scene ${scene} at ${time} ms: ${differ} pixels differ from the first play`)
        if (differ !== '0') fail(`play again differs from the first play at ${m}`)
    }
}
console.log(`${seconds(started)} in all`)
console.log(failures ? `${failures} failures` : 'PASS')
process.exit(failures ? 1 : 0)
