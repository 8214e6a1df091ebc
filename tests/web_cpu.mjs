// The drawing path with no GPU (web/raster.cpp) in the browser test: frames drawn with ?cpu=1
// held to the frame tool's in any engine, and a visitor's Chromium that refuses WebGL playing
// the demo after a real click.
import {spawn, execFileSync} from 'node:child_process'
import fs from 'node:fs'

const sleep = ms => new Promise(done => setTimeout(done, ms))

// ?cpu=1: the canvas holds a 2D context, not WebGL, and every moment passes the browser test's
// own check(engine, url, moment, label) against the frame tool. urlOf(moment) is its frame URL.
export async function cpuFrames(engine, urlOf, moments, check, fail) {
    const tab = await engine.open(urlOf(moments[0]) + '&cpu=1')
    await tab.until(() => document.title === 'ready', 60)
    const on2d = await tab.run(() => !!document.getElementById('canvas').getContext('2d'))
    if (!on2d) fail(`${engine.name} ?cpu=1 drew with WebGL`)
    await tab.close()
    for (const m of moments) await check(engine, urlOf(m) + '&cpu=1', m, 'cpu')
}

// Chromium as a visitor starts it, under the test's X server (1024x768): on Mesa's software
// renderer its blocklist refuses WebGL. A click through the X server starts the page, which must
// play every scene on the processor to the end screen. Its console comes through its log.
export async function plainChromiumPlays(url, env, work, fail) {
    const profile = fs.mkdtempSync(work + '/plain-chromium-')
    const flags = ['--no-sandbox', '--no-first-run', '--user-data-dir=' + profile, '--enable-logging=stderr', '--v=0',
                   '--window-position=0,0', '--window-size=1024,768']
    const chromium = spawn(process.env.CHROMIUM || '/usr/bin/chromium', [...flags, url],
                           {env: {...process.env, ...env}, stdio: ['ignore', 'ignore', 'pipe']})
    let log = ''
    chromium.stderr.on('data', data => log += data)
    const said = () => [...log.matchAll(/:CONSOLE[^"]*"cubic-harmony: ([^"]*)"/g)].map(m => m[1])
    const until = async (fn, seconds) => {
        for (const end = Date.now() + seconds * 1000; Date.now() < end; await sleep(100)) if (fn()) return true
        return false
    }
    await until(() => said().length > 0, 30)
    await sleep(1000) // the start screen comes with the first line; the window may still be settling
    execFileSync('xdotool', ['mousemove', '512', '400', 'click', '1'])
    const ended = await until(() => said().includes('end screen'), 60)
    const scenes = said().filter(line => line.startsWith('scene ')).map(line => line.slice(6)).join()
    console.log(`plain chromium: ${said()[0]}; after the click scenes ${scenes}${ended ? ', end screen' : ''}`)
    if (!/^drawing on the processor/.test(said()[0])) fail('plain chromium: not drawn on the processor')
    if (scenes !== '0,1,2,3,4,5,6,7,8' || !ended) fail('plain chromium: not every scene to its end after a click')
    chromium.kill()
    await new Promise(done => chromium.exitCode !== null ? done() : chromium.on('exit', done))
    fs.rmSync(profile, {recursive: true, force: true})
}
