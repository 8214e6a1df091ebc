// Writes the one-file edition: the page with everything it would fetch inside it, as base64,
// so that it plays when opened from file:// (where a page can fetch nothing and a blob: worklet
// fails). The page finds the parts in window.cubicInline; scripts and the worklet become data: URLs.
// Usage: node inline.mjs OUT.html index.html cubic-harmony.js cubic-harmony.wasm fontpre.tga
//            zap_wave.it player.js music.worklet.js music-engine.js libopenmpt.wasm web-copyright
// The licences of what the page holds (libopenmpt's among them) go in a comment at its top.
// Each input is known by its file name, whatever folder it is in.
import fs from 'node:fs'
import path from 'node:path'

const [out, ...inputs] = process.argv.slice(2)
const parts = Object.fromEntries(inputs.map(file => [path.basename(file), fs.readFileSync(file)]))
const needed = ['index.html', 'cubic-harmony.js', 'cubic-harmony.wasm', 'fontpre.tga', 'zap_wave.it',
                'player.js', 'music.worklet.js', 'music-engine.js', 'libopenmpt.wasm', 'web-copyright']
const missing = needed.filter(name => !parts[name])
if (!out || missing.length) {
    console.error(`inline.mjs: ${out ? 'missing ' + missing.join(', ') : 'no output named'}` +
                  '\nusage: node inline.mjs OUT.html ' + needed.join(' '))
    process.exit(2)
}
const text = name => parts[name].toString('utf8')
const base64 = data => Buffer.from(data).toString('base64')
// A text the page's code must find, or this script is out of step with the files it inlines.
function replaceOnce(name, source, from, to) {
    if (!source.includes(from)) { console.error(`inline.mjs: ${name} no longer has ${from}`); process.exit(1) }
    return source.replace(from, to)
}

// A data: worklet cannot import its neighbour: the engine goes in front of the worklet's own text.
const worklet = text('music-engine.js') +
    replaceOnce('music.worklet.js', text('music.worklet.js'), "import {musicEngine} from './music-engine.js'", '')
parts['music.worklet.js'] = Buffer.from(worklet)

const data = `<script>
'use strict'
// The one-file edition's parts, made by web/inline.mjs.
{
const js = 'data:application/javascript;base64,'
window.cubicInline = {
    files: {${['fontpre.tga', 'zap_wave.it', 'cubic-harmony.wasm', 'libopenmpt.wasm'].map(name => `'${name}': '${base64(parts[name])}'`).join(', ')}},
    urls: {${['music.worklet.js', 'music-engine.js', 'player.js', 'cubic-harmony.js'].map(name => `'${name}': js + '${base64(parts[name])}'`).join(',\n           ')}},
}
}
</script>
`
const page = replaceOnce('index.html', text('index.html'), "<script>\n'use strict'", data + "<script>\n'use strict'")
const licences = `<!doctype html>\n<!--\n${text('web-copyright').replaceAll('--', '- -')}-->`
fs.writeFileSync(out, replaceOnce('index.html', page, '<!doctype html>', licences))
