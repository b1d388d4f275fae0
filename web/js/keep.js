// What a reload keeps besides the drawing (drawing.js keeps that): the
// answers, the options (the grid error's check box too) and the airfoil and
// sweep boxes as typed, which options the user chose, and the run being watched, which the page then
// watches again (a running run's stream replays its history and goes on).
// The page starts from the recommended method where nothing is kept.

import { recommended } from "./settings.js";

const form_key = "veltaro.form";
const watched_key = "veltaro.watched";

function kept_fields() {
    return [...document.querySelectorAll("#answers input, #answers select, #airfoil_options input, #angle_sweep input, .sweep input")]
        .filter((field) => field.id && field.type !== "file");
}

function read(key) {
    try {
        return JSON.parse(localStorage.getItem(key) || "null");
    } catch {
        return null;
    }
}

function write(key, value) {
    try {
        if (value === null) localStorage.removeItem(key);
        else localStorage.setItem(key, JSON.stringify(value));
    } catch {
        // Storage full or refused: nothing is kept.
    }
}

export function keep_form() {
    const fields = kept_fields();
    write(form_key, {
        // A check box's value is its word, whether ticked or not.
        values: Object.fromEntries(fields.map((field) => [field.id, field.type === "checkbox" ? String(field.checked) : field.value])),
        chosen: fields.filter((field) => field.dataset.chosen).map((field) => field.id),
    });
}

// A select takes only a value it offers.
function set_value(field, value) {
    if (field.type === "checkbox") {
        field.checked = value === "true";
        return;
    }
    if (field.tagName === "SELECT" && ![...field.options].some((option) => option.value === value)) return;
    field.value = value;
}

// The recommended method, then whatever an earlier visit kept.
export function bring_back_form() {
    for (const [name, value] of Object.entries(recommended)) {
        const field = document.getElementById(name);
        if (field) set_value(field, value);
    }
    const kept = read(form_key);
    if (!kept || typeof kept.values !== "object") return;
    for (const field of kept_fields()) {
        if (typeof kept.values[field.id] === "string") set_value(field, kept.values[field.id]);
        if (kept.chosen?.includes(field.id)) field.dataset.chosen = "yes";
    }
}

export function keep_watched(id) {
    write(watched_key, id);
}

export function kept_watched() {
    const id = read(watched_key);
    return typeof id === "string" ? id : null;
}
