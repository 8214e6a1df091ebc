// Drives the browser edition in headless Chromium for tests/web_test.sh.
//   frames BASE OUTDIR S:T...  saves each frame-mode picture as OUTDIR/web-S-T.png
//   play BASE QUERY SECONDS    prints the page's console lines while it plays
//   sentence BASE QUERY        prints the sentence the page shows
//   bench BASE N...            prints the bench figures of each scene N
// BASE is the served build-web folder, e.g. http://127.0.0.1:8000/
// WebGL runs through ANGLE on the desktop's own GL (Mesa's llvmpipe, needs an
// X display), so frames can be held to the native ones pixel for pixel;
// WEB_RENDERER=swiftshader uses Chromium's own software renderer instead.
import {createRequire} from 'node:module'

// puppeteer-core is installed with the page's own packages, in web/.
const puppeteer = createRequire(new URL('../web/package.json', import.meta.url))('puppeteer-core')

const [mode, base, ...rest] = process.argv.slice(2)
const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--use-gl=angle',
           ...(process.env.WEB_RENDERER === 'swiftshader' ? ['--use-angle=swiftshader', '--enable-unsafe-swiftshader']
                                                          : ['--use-angle=gl', '--ignore-gpu-blocklist']),
           '--hide-scrollbars', '--window-size=640,480', '--disable-background-networking',
           '--autoplay-policy=no-user-gesture-required', '--disable-audio-output',
           ...(process.env.CHROMIUM_FLAGS || '').split(' ').filter(Boolean)],
})
let failed = false
try {
    const page = await browser.newPage()
    await page.setViewport({width: 640, height: 480, deviceScaleFactor: 1})
    page.on('console', message => console.log('console: ' + message.text()))
    page.on('pageerror', error => console.log('pageerror: ' + error.message))

    if (mode === 'frames') {
        const [outDir, ...moments] = rest
        for (const moment of moments) {
            const [scene, time] = moment.split(':')
            await page.goto(`${base}index.html?scene=${scene}&time=${time}`)
            await page.waitForFunction(() => document.title === 'ready' || document.title.startsWith('error'),
                                       {timeout: 60000, polling: 50})
            const title = await page.title()
            if (title !== 'ready') { console.log(`frame ${moment}: ${title}`); failed = true; continue }
            await page.screenshot({path: `${outDir}/web-${scene}-${time}.png`})
        }
    } else if (mode === 'bench') {
        for (const scene of rest) {
            await page.goto(`${base}index.html?bench=${scene}`)
            await page.waitForFunction(() => document.title === 'ready' || document.title.startsWith('error'),
                                       {timeout: 120000, polling: 100})
        }
    } else if (mode === 'play') {
        const [query, seconds] = rest
        await page.goto(`${base}index.html?${query}`)
        await page.waitForFunction(() => document.querySelector('#screen h1')?.textContent === 'The end' ||
                                         document.querySelector('#screen p:only-child'),
                                   {timeout: seconds * 1000, polling: 100}).catch(() => {})
    } else if (mode === 'sentence') {
        await page.goto(`${base}index.html?${rest[0] || ''}`)
        await page.waitForSelector('#screen p:only-child', {timeout: 20000}).catch(() => {})
        const text = await page.$eval('#screen', screen => screen.hidden ? '' : screen.textContent).catch(() => '')
        console.log('sentence: ' + text)
        if (process.env.SHOT) await page.screenshot({path: process.env.SHOT})
    }
} finally {
    await browser.close()
}
process.exit(failed ? 1 : 0)
