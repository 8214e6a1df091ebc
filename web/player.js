// The music layer's JavaScript side: one module played by chiptune3 in an
// AudioWorklet. The worklet posts its position after every block it mixes;
// the position handed to the demo is the one that has reached the speakers.
import {ChiptuneJsPlayer} from './chiptune3.js'

const itMagic = 'IMPM'

// Why these bytes cannot be our module, or '' when they look like one.
export function moduleProblem(bytes) {
    if (!bytes || bytes.length < 0xC0) return 'the file is too short to be a module'
    if (String.fromCharCode(...bytes.subarray(0, 4)) !== itMagic) return 'the file is not an Impulse Tracker module'
    return ''
}

const music = {
    player: null,        // the chiptune3 player, from init to shutdown
    ready: false,        // its worklet is loaded and takes commands
    bytes: null,         // the loaded module
    looping: true,
    playing: false,      // play asked for, until stop
    reports: [],         // {at, position} from the worklet, oldest first, at = context seconds
    current: 0,          // the position heard: row << 16 | order
    started: false,      // some position has been heard since play
    error: '',
    files: {},           // name -> bytes fetched by the page
    onFailure: null,     // called with a sentence when the worklet cannot play the module

    fail(why) { this.error = why; return 0 },

    // Creates the audio context, so it must run inside a click or key handler.
    init() {
        if (typeof AudioWorkletNode === 'undefined') return this.fail('this browser has no audio worklets')
        try {
            this.player = new ChiptuneJsPlayer({repeatCount: -1})
        } catch (e) {
            return this.fail('the audio output cannot be opened: ' + e)
        }
        // A shut-down player's worklet may still post: its reports are dropped.
        const player = this.player
        this.ready = false
        player.onInitialized(() => { if (this.player !== player) return; this.ready = true; if (this.playing) this.send() })
        player.onProgress(data => {
            if (this.player === player) this.reports.push({
                at: player.context.currentTime, position: (data.row & 0xFFFF) << 16 | (data.order & 0xFFFF)})
        })
        player.onError(e => { if (this.onFailure) this.onFailure('the player cannot read zap_wave.it (' + e.type + ')') })
        return 1
    },

    loadBytes(bytes, looping) {
        const why = moduleProblem(bytes)
        if (why) return this.fail(why)
        this.bytes = bytes
        this.looping = !!looping
        return 1
    },

    loadFile(name, looping) {
        if (!this.files[name]) return this.fail(name + ' was not found beside the page')
        return this.loadBytes(this.files[name], looping)
    },

    // The worklet takes commands only once it is loaded; play waits for that.
    send() {
        this.player.setRepeatCount(this.looping ? -1 : 0)
        this.player.play(this.bytes.slice().buffer)
    },

    play() {
        if (!this.player || !this.bytes) return 0
        this.playing = true
        this.reports = []
        this.current = 0
        this.started = false
        if (this.ready) this.send()
        return 1
    },

    // What the worklet mixed reaches the speakers after the context's own
    // buffering (baseLatency) and the device's (outputLatency, where known).
    position() {
        if (!this.player) return this.current
        const ctx = this.player.context
        const heardAt = ctx.currentTime - (ctx.baseLatency || 0) - (ctx.outputLatency || 0)
        while (this.reports.length && this.reports[0].at <= heardAt) {
            this.current = this.reports.shift().position
            this.started = true
        }
        return this.current
    },

    heard() { this.position(); return this.started ? 1 : 0 },

    stop() { this.playing = false; if (this.player) this.player.stop(); return 1 },
    free() { this.bytes = null; return 1 },

    shutdown() {
        if (this.player) this.player.context.close()
        this.player = null
        this.ready = false
        return 1
    },
}

window.cubicMusic = music
