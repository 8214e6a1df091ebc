// The page's music player on the audio thread, and the engine it plays with.
// musicEngine runs libopenmpt.wasm (web/music.cpp) wherever WebAssembly runs: in
// this worklet, on the page for the silent clock's order times, and in node for
// the tests, so all three play with the same calls and settings. The processor
// renders each render quantum at the context's rate and, whenever the position
// changes, posts it with the context time at which that quantum starts.

// libopenmpt.wasm is built without JavaScript of its own: it imports only the
// system calls of its C library, which it makes only to print, to exit or to
// seed a random generator (the dither, which is off). Each answers "done".
function systemCalls(module) {
    const imports = {}
    for (const {module: from, name, kind} of WebAssembly.Module.imports(module)) {
        if (kind !== 'function') continue
        imports[from] ||= {}
        imports[from][name] = name === 'proc_exit' ? code => { throw new Error('libopenmpt exited with code ' + code) } : () => 0
    }
    return imports
}

export async function musicEngine(wasmBytes) {
    const module = await WebAssembly.compile(wasmBytes)
    const {exports} = await WebAssembly.instantiate(module, systemCalls(module))
    if (exports._initialize) exports._initialize()
    let scratch = 0, scratchFrames = 0 // the render buffer in the engine's memory
    return {
        // Non-zero when libopenmpt reads the module's bytes.
        load(bytes, looping) {
            const at = exports.musicAlloc(bytes.length)
            new Uint8Array(exports.memory.buffer, at, bytes.length).set(bytes)
            const loaded = exports.musicLoad(at, bytes.length, looping ? 1 : 0)
            exports.musicRelease(at)
            return loaded
        },
        // Interleaved 16-bit stereo, a view valid until the next call; empty at the end.
        render(frames, rate) {
            if (frames > scratchFrames) {
                exports.musicRelease(scratch)
                scratch = exports.musicAlloc(4 * frames)
                scratchFrames = frames
            }
            const got = exports.musicRender(scratch, frames, rate)
            return new Int16Array(exports.memory.buffer, scratch, 2 * got)
        },
        position: () => exports.musicPosition(),   // order | row << 16
        orderStart: order => exports.musicOrderStart(order),
        free: () => exports.musicFree(),
    }
}

if (typeof registerProcessor === 'function') {
    // Messages in: {play: module bytes, looping} and {stop: true}. Out: {ready: true}
    // once the engine runs, {unreadable: true} for a module it cannot read, and
    // {at, position} reports.
    registerProcessor('cubic-harmony-music', class extends AudioWorkletProcessor {
        constructor(options) {
            super()
            this.engine = null
            this.playing = false
            this.position = -1
            this.port.onmessage = event => this.command(event.data)
            musicEngine(options.processorOptions.engine).then(engine => {
                this.engine = engine
                this.port.postMessage({ready: true})
            }, () => {}) // never ready: the page tells the visitor the player did not load
        }

        command(message) {
            this.playing = false
            this.position = -1
            if (message.stop || !this.engine) return
            this.playing = !!this.engine.load(message.play, message.looping)
            if (!this.playing) this.port.postMessage({unreadable: true})
        }

        process(inputs, outputs) {
            if (!this.playing) return true
            const [left, right] = outputs[0]
            const at = currentTime
            const stereo = this.engine.render(left.length, sampleRate)
            for (let i = 0; i < stereo.length / 2; i++) {
                left[i] = stereo[2 * i] / 32768
                right[i] = stereo[2 * i + 1] / 32768
            }
            const position = this.engine.position()
            if (position !== this.position) {
                this.position = position
                this.port.postMessage({at, position})
            }
            return true
        }
    })
}
