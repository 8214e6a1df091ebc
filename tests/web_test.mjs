// The browser edition in headless Chromium: a fast module played to the end screen, the sentence
// of a missing or broken asset, and frame mode against the native frame tool.
//   node web_test.mjs BUILD_DIR SOURCE_DIR   the test: FAIL: lines and exit status 1 on a miss
//   node web_test.mjs bench BASE N...        the bench figures of scenes N of a served build-web
// WebGL goes through ANGLE to Mesa's llvmpipe (an X display) so that frames match the native
// ones; WEB_RENDERER=swiftshader picks Chromium's own renderer, CHROMIUM another browser.
import {createRequire} from 'node:module'
import {execFile} from 'node:child_process'
import {randomBytes} from 'node:crypto'
import fs from 'node:fs'
import http from 'node:http'
import os from 'node:os'

// puppeteer-core is installed with the page's own packages, in web/.
const puppeteer = createRequire(new URL('../web/package.json', import.meta.url))('puppeteer-core')
const launch = (...flags) => puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true, defaultViewport: {width: 640, height: 480},
    args: [...(process.env.WEB_RENDERER === 'swiftshader' ? ['--use-angle=swiftshader', '--enable-unsafe-swiftshader']
                                                          : ['--use-angle=gl', '--ignore-gpu-blocklist']),
           '--no-sandbox', '--use-gl=angle', '--hide-scrollbars', '--window-size=640,480', '--disable-background-networking',
           '--autoplay-policy=no-user-gesture-required', '--disable-audio-output', ...flags]})
// A new tab at url, its console pushed to lines, once `done` holds in it or `seconds` have passed.
async function visit(browser, url, done, seconds, lines = []) {
    const page = await browser.newPage()
    page.on('console', message => lines.push(message.text()))
    page.on('pageerror', error => lines.push('pageerror: ' + error.message))
    await page.goto(url)
    await page.waitForFunction(done, {timeout: seconds * 1000, polling: 50}).catch(() => {})
    return page
}
const drawn = () => document.title === 'ready' || document.title.startsWith('error') // frame and bench modes
const told = () => document.querySelector('#screen > p:only-child') // the one sentence of a problem
const ended = () => document.querySelector('#screen > p:only-child, #screen > button') // or the end screen's "play again"
// What a program printed, whatever its exit status (compare exits 1 when pictures differ).
const tool = (file, ...args) => new Promise(done => execFile(file, args, (error, out, err) => done((out + err).trim())))
const read = file => { try { return fs.readFileSync(file) } catch { return null } }
let failures = 0, fail = what => { console.log('FAIL: ' + what); failures++ }

const [first, second, ...scenes] = process.argv.slice(2)
if (first === 'bench') {
    const browser = await launch()
    for (const scene of scenes) await visit(browser, `${second}index.html?bench=${scene}`, drawn, 120, {push: console.log})
    await browser.close()
    process.exit(0)
}
const build = fs.realpathSync(first), site = fs.realpathSync(second) + '/build-web'
if (!fs.existsSync(site + '/cubic-harmony.wasm')) { fail(`${site} is missing: scripts/web builds it`); process.exit(1) }
const work = fs.mkdtempSync(os.tmpdir() + '/cubic-harmony-web-')
const [browser, bare] = await Promise.all([launch(), launch('--disable-webgl', '--disable-3d-apis')])
const server = http.createServer()
try {
    // Every scene at three moments, the gallery's among them. The native frame tool
    // replays each moment through GL, the slowest part: two run while the browser works.
    const moments = `0:500 0:5000 0:14000 1:500 1:3000 1:9000 2:1800 2:7000 2:14000 3:800 3:2400 3:12000
                     4:3000 4:8000 4:15000 5:1500 5:6000 5:13000 6:2000 6:10000 6:15000 7:1000 7:5000 7:14500
                     8:3000 8:12000 8:17000`.split(/\s+/).map(moment => moment.split(':'))
    const shot = (side, moment) => `${work}/${side}-${moment.join('-')}.png`, lanes = [null, null]
    const native = moments.map((m, i) => lanes[i % 2] = Promise.resolve(lanes[i % 2]).then(() => tool(build +
        '/cubic-harmony-frame', '--scene', m[0], '--time', m[1], '--out', shot('native', m), '--data', build)))
    // The fast module: 40 one-row orders at tempo 255, a scene change every 10 ms.
    fs.writeFileSync(work + '/song.txt', 'title Short\nspeed 1\ntempo 255\nchannel beep 32 64\n' +
                     Array.from({length: 40}, (_, i) => `order ${i} beep\n`).join(''))
    fs.writeFileSync(work + '/instruments.txt', '[01 beep]\nosc = sine\nlength = 0.05\n')
    fs.writeFileSync(work + '/beep.pat', 'pattern beep\ncolumns beep\n00 | C-5 01 .. ...\n')
    await tool(build + '/make-module', '--dir', work, '--out', work + '/fast.it')
    // build-web as it is, and folders beside it in which one file differs (null: missing).
    const changed = {'/fast.it': read(work + '/fast.it') || fail('make-module'), '/nofont/fontpre.tga': null,
                     '/nomodule/zap_wave.it': null, '/badmodule/zap_wave.it': randomBytes(5000),
                     '/badfont/fontpre.tga': read(build + '/fontpre.tga').subarray(0, 700)}
    const types = {html: 'text/html', js: 'text/javascript', wasm: 'application/wasm'}
    server.on('request', (request, response) => {
        const path = new URL(request.url, 'http://x').pathname.replace(/\/$/, '/index.html')
        const bytes = path in changed ? changed[path] : read(site + path.replace(/^\/\w+\//, '/'))
        response.writeHead(bytes ? 200 : 404, {'Content-Type': types[path.split('.').pop()] || 'application/octet-stream'})
        response.end(bytes)
    })
    await new Promise(done => server.listen(0, '127.0.0.1', done))
    const base = `http://127.0.0.1:${server.address().port}/`
    // The page plays by itself from the first scene to its end screen.
    const heard = []
    await (await visit(browser, `${base}?autostart=1&module=fast.it`, ended, 30, heard)).close()
    const seen = heard.map(line => /^cubic-harmony: (scene \d+|end screen)/.exec(line)?.[1]).filter(Boolean).join()
    console.log('played: ' + seen)
    if (seen !== 'scene 0,scene 1,scene 2,scene 3,scene 4,scene 5,scene 6,scene 7,scene 8,end screen')
        fail('the page did not play every scene in order to its end screen:\n  ' + heard.join('\n  '))
    // A missing or broken asset, or no WebGL: one sentence naming it, on the page and in the console.
    for (const [where, words, tabs = browser] of [['nofont/', 'fontpre.tga is missing'], ['nomodule/', 'zap_wave.it is missing'],
            ['badmodule/', 'zap_wave.it is broken'], ['badfont/', 'fontpre.tga: too short'],
            ['nofont/?scene=1&time=0', 'fontpre.tga is missing'], ['? (without WebGL)', 'WebGL', bare]]) {
        const lines = [], page = await visit(tabs, base + where.split(' ')[0], told, 20, lines)
        const shown = await page.$eval('#screen', screen => screen.hidden ? '' : screen.textContent).catch(() => '')
        console.log(`${where}: ${shown}`)
        if (!shown.includes(words)) fail(`${where}: no sentence with "${words}"`)
        if (!lines.some(line => line.includes(words))) fail(`${where}: the console does not say "${words}"`)
        await page.close()
    }
    // The browser's frames, each held to the native one: at most 307 pixels (0.1 %) differ by more than 1 %.
    for (const [i, m] of moments.entries()) {
        const page = await visit(browser, `${base}?scene=${m[0]}&time=${m[1]}`, drawn, 60)
        const at = 'frame ' + m.join('/'), title = await page.title()
        title === 'ready' ? await page.screenshot({path: shot('web', m)}) : fail(`${at}: ${title}`)
        await page.close()
        await native[i]
        const differ = await tool('compare', '-metric', 'AE', '-fuzz', '1%', shot('web', m), shot('native', m), 'null:')
        console.log(`${at}: ${differ} of 307200 pixels differ by more than 1 %`)
        if (!/^\d+$/.test(differ)) fail(`${at}: no comparison (${differ})`)
        else if (+differ > 307) fail(`${at}: ${differ} pixels differ`)
    }
} catch (error) { fail(error.stack) } finally {
    await Promise.all([browser.close(), bare.close()])
    server.close()
    fs.rmSync(work, {recursive: true, force: true})
}
console.log(failures ? `${failures} failures` : 'PASS')
process.exit(failures ? 1 : 0)
