// The page's music engine: libopenmpt.wasm (web/music.cpp) behind a few calls, the
// same wherever WebAssembly runs: in the audio worklet (music.worklet.js), on the
// page for the silent clock's order times (player.js), and in node for the tests,
// so all three play with the same calls and settings.

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
