// The page's music player on the audio thread: the engine (music-engine.js, with
// the libopenmpt.wasm bytes player.js hands over) renders each render quantum at the
// context's rate and, whenever the position changes, the processor posts it with the
// context time at which that quantum starts. Messages in: {play: module bytes,
// looping} and {stop: true}; out: {ready: true} once the engine runs, {unreadable:
// true} for a module it cannot read, and {at, position}.
import {musicEngine} from './music-engine.js'

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
