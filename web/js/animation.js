// The animation of a time-accurate run's vorticity (vorticity.webp) with
// play, pause and a slider. Frames are decoded one at a time by the
// browser's image decoder and drawn on a canvas; a browser without one
// shows the file as an image, which plays by itself without the controls.

import { file_url } from "./api.js";

const frame_ms = 40;  // the program's 25 frames a second
const player = { decoder: null, count: 0, frame: 0, playing: false, timer: 0, busy: false, token: 0 };

const $ = (id) => document.getElementById(id);

async function draw_frame(k) {
    const decoder = player.decoder;
    const { image } = await decoder.decode({ frameIndex: k });
    if (decoder !== player.decoder) return image.close();
    const canvas = $("animation_canvas");
    if (canvas.width !== image.displayWidth) Object.assign(canvas, { width: image.displayWidth, height: image.displayHeight });
    canvas.getContext("2d").drawImage(image, 0, 0);
    image.close();
    player.frame = k;
    $("animation_slider").value = String(k);
    $("animation_frame").textContent = `frame ${k + 1} of ${player.count}`;
    canvas.dataset.frame = String(k);
}

function tick() {
    if (!player.playing || player.busy || !player.decoder) return;
    player.busy = true;
    draw_frame((player.frame + 1) % player.count).finally(() => { player.busy = false; });
}

function set_playing(playing) {
    player.playing = playing;
    $("animation_play").textContent = playing ? "Pause" : "Play";
    clearInterval(player.timer);
    player.timer = playing ? setInterval(tick, frame_ms) : 0;
}

export function init_animation() {
    $("animation_play").addEventListener("click", () => set_playing(!player.playing));
    $("animation_slider").addEventListener("input", (event) => {
        set_playing(false);
        if (player.decoder) draw_frame(Number(event.target.value));
    });
}

export function hide_animation() {
    set_playing(false);
    player.decoder?.close();
    Object.assign(player, { decoder: null, count: 0, frame: 0, token: player.token + 1 });
    $("animation").hidden = true;
    $("animation").querySelector("img")?.remove();
    $("animation_canvas").hidden = false;
}

// Shows run id's animation of frames frames, playing.
export async function show_animation(id, frames) {
    hide_animation();
    if (!(frames > 0)) return;
    const token = player.token;
    $("animation").hidden = false;
    if (typeof ImageDecoder === "undefined") {
        $("animation_canvas").hidden = true;
        $("animation").prepend(Object.assign(document.createElement("img"), { src: file_url(id, "vorticity.webp"), alt: "The vorticity in time" }));
        return;
    }
    const response = await fetch(file_url(id, "vorticity.webp"));
    if (!response.ok || token !== player.token) return;
    const decoder = new ImageDecoder({ data: await response.arrayBuffer(), type: "image/webp" });
    await decoder.tracks.ready;
    if (token !== player.token) return decoder.close();
    player.decoder = decoder;
    player.count = decoder.tracks.selectedTrack.frameCount;
    $("animation_slider").max = String(player.count - 1);
    await draw_frame(0);
    set_playing(true);
}
