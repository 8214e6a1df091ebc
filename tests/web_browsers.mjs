// The three browser engines behind one small driver for the browser test: Chromium and Firefox
// through puppeteer-core (Firefox over WebDriver BiDi), WebKit's MiniBrowser through
// WebKitWebDriver's W3C endpoints with plain fetch. A tab offers run, until, click, picture, close.
// openPlain starts an engine as a visitor does instead, with no automation at all.
import {createRequire} from 'node:module'
import {spawn, execFile, execFileSync} from 'node:child_process'
import fs from 'node:fs'
import net from 'node:net'
import os from 'node:os'
import readline from 'node:readline'

// puppeteer-core is installed with the page's own packages, in web/.
const puppeteer = createRequire(new URL('../web/package.json', import.meta.url))('puppeteer-core')

const chromiumFlags = () => [
    ...(process.env.WEB_RENDERER === 'swiftshader' ? ['--use-angle=swiftshader', '--enable-unsafe-swiftshader']
                                                   : ['--use-angle=gl', '--ignore-gpu-blocklist']),
    '--no-sandbox', '--use-gl=angle', '--hide-scrollbars', '--window-size=640,480', '--disable-background-networking',
    '--disable-audio-output']

// A puppeteer tab: its console lines go to lines.
function puppeteerTab(page, lines) {
    page.on('console', message => lines.push(message.text()))
    page.on('pageerror', error => lines.push('pageerror: ' + error.message))
    return {
        lines,
        run: (fn, ...args) => page.evaluate(fn, ...args),
        until: (fn, seconds) => page.waitForFunction(fn, {timeout: seconds * 1000, polling: 50}).then(() => true, () => false),
        click: selector => page.click(selector),
        tap: selector => page.tap(selector),
        screenshot: path => page.screenshot({path}),
        close: () => page.close(),
    }
}

async function puppeteerEngine(name, options) {
    const browser = await puppeteer.launch(name === 'firefox'
        ? {product: 'firefox', protocol: 'webDriverBiDi', executablePath: '/usr/bin/firefox-esr', headless: true,
           env: options.env, defaultViewport: {width: 640, height: 480}}
        : {executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true, env: options.env,
           defaultViewport: {width: 640, height: 480}, args: [...chromiumFlags(), ...(options.flags || [])]})
    return {
        name, version: await browser.version(),
        // viewport: puppeteer's, a phone's for instance; loadSeconds: how long the page may take to load
        async open(url, lines = [], viewport = null, loadSeconds = 30) {
            const page = await browser.newPage()
            const tab = puppeteerTab(page, lines)
            if (viewport) await page.setViewport(viewport)
            await page.goto(url, {timeout: loadSeconds * 1000})
            return tab
        },
        close: () => browser.close(),
    }
}

const freePort = () => new Promise(done => { const s = net.createServer().listen(0, '127.0.0.1', () => {
    const port = s.address().port; s.close(() => done(port)) }) })

const miniBrowser = () => execFileSync('sh', ['-c', 'dpkg -L libwebkit2gtk-4.1-0 | grep "/MiniBrowser$"']).toString().trim()

// WebKit: one window of MiniBrowser, driven over WebDriver; a tab is that window at a new address.
async function webkitEngine(options) {
    const port = await freePort()
    const driver = spawn('WebKitWebDriver', ['--port=' + port], {env: options.env, stdio: 'ignore'})
    const base = `http://127.0.0.1:${port}`
    const call = async (method, path, body) => {
        const response = await fetch(base + path, {method, body: body && JSON.stringify(body),
                                                   headers: {'Content-Type': 'application/json'}})
        const answer = await response.json()
        if (!response.ok) throw new Error(`WebDriver ${path}: ${answer.value?.message || response.status}`)
        return answer.value
    }
    let session
    for (let tries = 0; !session; tries++) {
        try {
            session = (await call('POST', '/session', {capabilities: {alwaysMatch: {browserName: 'MiniBrowser',
                'webkitgtk:browserOptions': {binary: miniBrowser(), args: ['--automation']}}}})).sessionId
        } catch (error) {
            if (tries > 50) throw error
            await new Promise(done => setTimeout(done, 100))
        }
    }
    const at = path => `/session/${session}${path}`
    const run = (fn, ...args) => call('POST', at('/execute/sync'), {script: `return (${fn}).apply(null, arguments)`, args})
    const version = await run(() => navigator.userAgent)
    return {
        name: 'webkit', version: /AppleWebKit\/[\d.]+/.exec(version)?.[0] || version,
        async open(url, lines = []) {
            await call('POST', at('/url'), {url})
            return {
                lines: null, run, // WebDriver gives no console
                async until(fn, seconds) {
                    for (const end = Date.now() + seconds * 1000; Date.now() < end;) {
                        if (await run(fn).catch(() => false)) return true
                        await new Promise(done => setTimeout(done, 100))
                    }
                    return false
                },
                async click(selector) {
                    const element = await call('POST', at('/element'), {using: 'css selector', value: selector})
                    await call('POST', at(`/element/${Object.values(element)[0]}/click`), {})
                },
                close: () => call('POST', at('/url'), {url: 'about:blank'}),
            }
        },
        async close() {
            await call('DELETE', at('')).catch(() => {})
            driver.kill()
        },
    }
}

// options: env (the browser's environment), flags (Chromium's extra switches).
export function openEngine(name, options = {}) {
    options = {...options, env: {...process.env, ...options.env}}
    return name === 'webkit' ? webkitEngine(options) : puppeteerEngine(name, options)
}

// A private PulseAudio server with one null sink, for the browsers' sound; its
// XDG_RUNTIME_DIR is dir, where clients started with the same one find it.
export async function startPulse(dir) {
    const server = spawn('pulseaudio', ['--daemonize=no', '-n', '--exit-idle-time=-1', '--load=module-null-sink sink_name=out',
                                        '--load=module-native-protocol-unix'],
                         {env: {...process.env, XDG_RUNTIME_DIR: dir}, stdio: 'ignore'})
    for (let i = 0; i < 100 && !fs.existsSync(dir + '/pulse/native'); i++) await new Promise(done => setTimeout(done, 50))
    return server
}

// What the sink of that server plays over the next ms, recorded from its monitor: 16-bit
// stereo samples at 44.1 kHz, or null where the recording stopped short.
export function recordSink(dir, ms) {
    const wanted = Math.round(44100 * ms / 1000) * 4, chunks = [], recorder = spawn('parec',
        ['--device=out.monitor', '--raw', '--format=s16le', '--channels=2', '--rate=44100', '--latency-msec=20'],
        {env: {...process.env, XDG_RUNTIME_DIR: dir}, stdio: ['ignore', 'pipe', 'ignore']})
    return new Promise(done => {
        let got = 0, finished = false
        const finish = () => {
            if (finished) return
            finished = true
            clearTimeout(limit)
            recorder.kill()
            const bytes = Buffer.concat(chunks)
            done(got < wanted ? null : new Int16Array(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + wanted)))
        }
        const limit = setTimeout(finish, ms + 3000)
        recorder.stdout.on('data', chunk => { chunks.push(chunk); if ((got += chunk.length) >= wanted) finish() })
        recorder.on('exit', finish)
    })
}

// An engine started as a visitor starts it, on the X display: its own profile, default settings
// and autoplay policy, no automation. Only the console is asked for, on its standard output
// (Chromium: its log on stderr). On Mesa Chromium's GPU blocklist refuses WebGL, so there the
// page draws on the processor, as a visitor's would. Its window fills the top left 800x600 of the screen; clicks come through
// the X server (xdotool), keys to the focused window, pictures are the screen's (import), console
// lines arrive with their time.
export async function openPlain(name, url, env = {}) {
    const profile = fs.mkdtempSync(os.tmpdir() + '/cubic-harmony-profile-')
    fs.writeFileSync(profile + '/user.js', Object.entries({'browser.aboutwelcome.enabled': false, // Firefox: no first-run tabs
        'datareporting.policy.dataSubmissionEnabled': false, 'devtools.console.stdout.content': true})
        .map(([name, value]) => `user_pref("${name}", ${value});\n`).join(''))
    const [program, args] = {
        chromium: ['chromium', ['--no-sandbox', '--user-data-dir=' + profile, '--no-first-run',
                                '--enable-logging=stderr', '--v=0', '--window-position=0,0', '--window-size=800,600']],
        firefox: ['firefox-esr', ['--no-remote', '--profile', profile, '--width', '800', '--height', '600']],
        webkit: [miniBrowser(), ['--geometry=800x600', '--enable-write-console-messages-to-stdout=true']],
    }[name]
    const browser = spawn(program, [...args, url], {env: {...process.env, ...env}, stdio: ['ignore', 'pipe', 'pipe']})
    const lines = []
    for (const stream of [browser.stdout, browser.stderr])
        readline.createInterface({input: stream}).on('line', text => lines.push({at: Date.now(), text}))
    const sleep = ms => new Promise(done => setTimeout(done, ms))
    const tool = (file, ...args) => new Promise(done => execFile(file, args, (error, out) => done(error ? null : out.trim())))
    return {
        lines,
        // The first console line matching pattern, waited for up to seconds.
        async line(pattern, seconds) {
            for (const end = Date.now() + seconds * 1000; Date.now() < end; await sleep(50)) {
                const found = lines.find(line => pattern.test(line.text))
                if (found) return found
            }
            return null
        },
        click: () => tool('xdotool', 'mousemove', '400', '350', 'click', '1'),
        key: name => tool('xdotool', 'key', name), // to the focused window: the page, once clicked
        screenshot: file => tool('import', '-window', 'root', '-crop', '800x600+0+0', file),
        async close() {
            browser.kill()
            if (browser.exitCode === null) await new Promise(done => browser.on('exit', done))
            // Chromium's helper processes (those that name the profile) can outlive
            // the browser and go on writing into its profile: they are ended too, and
            // a profile that still cannot be removed is left in the temporary folder
            // with a line, since it says nothing about the page.
            await tool('pkill', '-KILL', '-f', profile)
            try {
                fs.rmSync(profile, {recursive: true, force: true, maxRetries: 10, retryDelay: 100})
            } catch (error) {
                console.log(`${name}: its profile ${profile} is left behind: ${error.message}`)
            }
        },
    }
}
