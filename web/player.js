// The music layer's JavaScript side: one module played by libopenmpt in our
// AudioWorklet (music.worklet.js, with music-engine.js and libopenmpt.wasm). The
// worklet posts each new position with the time of the block it mixed it in;
// the position handed to the demo is the one that has reached the speakers.
// Without sound, a clock stands in, stepping through the orders at the times
// libopenmpt gives for them, so the scenes change where the music would.

const itMagic = 'IMPM'
const startLimit = 2500 // ms from the gesture to music heard, or else the page says why not (within 3 s)
const latencyMayHang = navigator.userAgent.includes('Firefox/') // see readLatency

// A part of the player beside this file, or its data: URL in the one-file edition.
function partUrl(name) {
    return window.cubicInline ? window.cubicInline.urls[name] : new URL('./' + name, import.meta.url).href
}

// The second at which each order starts, as libopenmpt counts it; null when
// it cannot read the module. The worklet's engine runs here on the page's thread.
async function orderTimes(wasm, bytes, orders) {
    try {
        const engine = await (await import(partUrl('music-engine.js'))).musicEngine(wasm)
        if (!engine.load(bytes, false)) return null
        const times = []
        for (let order = 0; order < orders; order++) times.push(engine.orderStart(order))
        engine.free()
        return times
    } catch (e) {
        return null
    }
}

// Entries of an Impulse Tracker order list before its end marker (255): the
// orders whose start times the clock without sound needs.
function countOrders(bytes) {
    const listed = bytes[0x20] | bytes[0x21] << 8
    let count = 0
    while (count < listed && 0xC0 + count < bytes.length && bytes[0xC0 + count] !== 255) count++
    return count
}

// Why these bytes cannot be our module, or '' when they look like one.
export function moduleProblem(bytes) {
    if (!bytes || bytes.length < 0xC0) return 'the file is too short to be a module'
    if (String.fromCharCode(...bytes.subarray(0, 4)) !== itMagic) return 'the file is not an Impulse Tracker module'
    return ''
}

const music = {
    context: null,       // the audio context, from init to shutdown
    node: null,          // its worklet's node, once the worklet's engine runs
    ready: false,        // the worklet is loaded and takes commands
    bytes: null,         // the loaded module
    looping: true,
    playing: false,      // play asked for, until stop
    reports: [],         // {at, position} from the worklet, oldest first, at = context seconds
    current: 0,          // the position heard: row << 16 | order
    started: false,      // some position has been heard since play
    orders: 0,           // entries of the order list
    error: '',
    files: {},           // name -> bytes fetched by the page: the module and libopenmpt.wasm
    onFailure: null,     // called when not even the clock can play the module
    onSilence: null,     // called with a sentence when no music is heard in time
    silent: false,       // the visitor chose to play without sound, for every play from then on
    times: null,         // seconds at which each order starts, for the silent clock
    clockStart: 0,       // performance.now() ms at which the silent clock's order 0 began
    watch: 0,            // the timer that checks, startLimit ms after play, that music is heard
    unheard: '',         // why no player was made, told once play is asked for
    told: false,         // onSilence has been called for this play
    playedAt: 0,         // the context's time when play was asked for
    latency: 0,          // the output's own latency in seconds, as last read (outputLatency)
    latencyReadAt: 0,    // performance.now() ms of that read, 0 before the first of this play

    fail(why) { this.error = why; return 0 },

    // Creates or resumes the audio context, so it must run inside a click or key handler.
    // A page that cannot make one still plays, silently, once the visitor agrees.
    // The page calls it once as it loads, too: that context waits, suspended, for the
    // first click, which only resumes it, and its worklet's libopenmpt is compiled
    // by then instead of after the click.
    init() {
        this.unheard = ''
        if (this.silent) return 1
        if (this.context) { this.context.resume().catch(() => {}); return 1 }
        if (typeof AudioWorkletNode === 'undefined' || !window.isSecureContext) {
            this.unheard = 'No sound: this browser offers no audio worklets here (they need https, 127.0.0.1 or a file).'
            return 1
        }
        let context
        try {
            context = this.context = new AudioContext()
        } catch (e) {
            this.unheard = 'No sound: the browser cannot open an audio output (' + e + ').'
            return 1
        }
        // A shut-down context's worklet may still post: its messages are dropped.
        // One that fails to load, or whose engine does not run, never says ready.
        this.ready = false
        context.audioWorklet.addModule(partUrl('music.worklet.js')).then(() => {
            if (this.context !== context) return
            const node = new AudioWorkletNode(context, 'cubic-harmony-music', {
                numberOfInputs: 0, outputChannelCount: [2], processorOptions: {engine: this.files['libopenmpt.wasm']}})
            node.connect(context.destination)
            node.port.onmessage = ({data}) => {
                if (this.context !== context) return
                if (data.ready) { this.node = node; this.ready = true; if (this.playing) this.send() }
                else if (data.unreadable) this.tellSilence('No sound: the music player cannot read zap_wave.it.')
                else this.reports.push(data)
            }
        }).catch(() => {})
        return 1
    },

    // Why nothing is heard startLimit ms after play: the output did not start
    // (no sound device, or no gesture yet), or the worklet never loaded, or it
    // loaded and plays nothing.
    whyUnheard() {
        if (this.unheard) return this.unheard
        const context = this.context
        const stuck = context.state !== 'running' || context.currentTime === this.playedAt
        if (stuck && navigator.userActivation && !navigator.userActivation.hasBeenActive)
            return 'No sound: the browser starts sound only after a click or a key on the page.'
        if (stuck) return 'No sound: the browser did not start its audio output (it may wait for a click, or have no sound device).'
        if (!this.ready) return 'No sound: the music player (an audio worklet) did not load.'
        return 'No sound: the music player loaded but plays nothing.'
    },

    tellSilence(sentence) {
        clearTimeout(this.watch)
        if (this.heard() || !this.playing || this.told) return
        this.told = true
        if (this.onSilence) this.onSilence(sentence)
    },

    // The visitor's choice after the sentence: the same play on the clock.
    async playSilently() {
        this.silent = true
        this.shutdown()
        if (!this.times) this.times = await orderTimes(this.files['libopenmpt.wasm'], this.bytes, this.orders)
        if (!this.times) { if (this.onFailure) this.onFailure(); return }
        this.clockStart = performance.now()
    },

    loadBytes(bytes, looping) {
        const why = moduleProblem(bytes)
        if (why) return this.fail(why)
        this.bytes = bytes
        this.looping = !!looping
        this.orders = countOrders(bytes)
        return 1
    },

    loadFile(name, looping) {
        if (!this.files[name]) return this.fail(name + ' was not found beside the page')
        return this.loadBytes(this.files[name], looping)
    },

    // The worklet takes commands only once it is loaded; play waits for that.
    send() {
        this.node.port.postMessage({play: this.bytes, looping: this.looping})
    },

    play() {
        if (!this.bytes) return 0
        this.playing = true
        this.reports = []
        this.current = 0
        this.started = false
        this.told = false
        this.latency = this.latencyReadAt = 0
        clearTimeout(this.watch)
        if (this.silent) {
            this.playSilently()
            return 1
        }
        if (this.unheard) { setTimeout(() => this.tellSilence(this.unheard)); return 1 }
        this.playedAt = this.context.currentTime
        this.watch = setTimeout(() => this.tellSilence(this.whyUnheard()), startLimit)
        if (this.ready) this.send()
        return 1
    },

    // The silent clock's order: the last one whose start time has passed.
    clockPosition() {
        if (!this.times || !this.clockStart) return this.current
        const seconds = (performance.now() - this.clockStart) / 1000
        let order = this.current & 0xFFFF
        while (order + 1 < this.times.length && this.times[order + 1] <= seconds) order++
        this.started = true
        return this.current = order
    },

    // Firefox can hang the page for good when outputLatency is read while its
    // audio output is starting: the page's thread, the audio graph's and the
    // output's wait on each other. Its context runs on a clock of its own before
    // the output is up, so no wait on currentTime is sure to be long enough: there
    // the device's latency stays unread (a few tens of ms at most). Elsewhere it
    // is read once the context has played half a second, and then once a second.
    readLatency(ctx) {
        const now = performance.now()
        if (latencyMayHang || ctx.state !== 'running' || ctx.currentTime < this.playedAt + 0.5 ||
            now - this.latencyReadAt < 1000) return
        this.latencyReadAt = now
        this.latency = ctx.outputLatency || 0
    },

    // What the worklet mixed reaches the speakers after the context's own
    // buffering (baseLatency) and the device's (outputLatency, once known).
    position() {
        if (this.silent) return this.clockPosition()
        if (!this.context) return this.current
        const ctx = this.context
        this.readLatency(ctx)
        const heardAt = ctx.currentTime - (ctx.baseLatency || 0) - this.latency
        while (this.reports.length && this.reports[0].at <= heardAt) {
            this.current = this.reports.shift().position
            this.started = true
        }
        return this.current
    },

    heard() { this.position(); return this.started ? 1 : 0 },

    stop() {
        this.playing = false
        this.clockStart = 0
        clearTimeout(this.watch)
        if (this.node) this.node.port.postMessage({stop: true})
        return 1
    },
    free() { this.bytes = null; this.orders = 0; return 1 },

    shutdown() {
        clearTimeout(this.watch)
        if (this.context) this.context.close()
        this.context = this.node = null
        this.ready = false
        return 1
    },
}

window.cubicMusic = music
