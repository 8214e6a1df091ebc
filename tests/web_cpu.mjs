// The drawing path with no GPU (web/raster.cpp) in the browser test: frames drawn with ?cpu=1
// held to the frame tool's in any engine. (A visitor's Chromium that refuses WebGL playing after
// a real click is the browser test's plain Chromium.)

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
